// A device's values document (sensors, inputs, outputs) as tables or JSON.
//
// Threading: pure functions; any thread.
#ifndef KELVO_CLI_VALUESOUTPUT_H
#define KELVO_CLI_VALUESOUTPUT_H

#include "deviceoutput.h"
#include "qvxml.h"

#include <string>

namespace kelvo::cli {

// Texts are shown as the device wrote them. Table and CSV print one section
// per list; JSON is one object with "device", "sensors", "inputs", "outputs".
std::string FormatValues(const qvxml_values &values, const qvxml_values_counts &counts,
                         Format format);

} // namespace kelvo::cli

#endif
