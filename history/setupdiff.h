// Compares two configuration documents setting by setting, the way an
// installer reads them: by element path, list entries matched by their Idx,
// blind to indentation, line ends and the order of elements in a section,
// and blind to the readings a device reports (clock, sensor values), which
// change on every download without anyone changing a setting.
//
// Threading: pure functions; any thread.
#ifndef KELVO_HISTORY_SETUPDIFF_H
#define KELVO_HISTORY_SETUPDIFF_H

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::history {

// Largest document compared: far above any device's configuration.
constexpr std::size_t kDocumentMax = 16u << 20;
// Deepest nesting taken; a device's document is five levels deep.
constexpr int kDepthMax = 64;

// One setting as the text shows it ("SenSet/Entry[3]/Name") and its value.
struct Setting {
    std::string path;
    std::string value; // blanks and line ends around it removed
    bool secret = false;
};

// The settings of one document, keyed so that a map orders them by section
// and entries by numeric Idx.
using Settings = std::map<std::string, Setting>;

// Reads the settings of a document. False with `error` when it is not one
// well-formed XML document or breaks a bound above.
bool ReadSettings(std::string_view document, Settings &settings, std::string *error);

// One setting that differs; nullopt where a side has no such setting.
struct Difference {
    std::string path;
    std::optional<std::string> a, b;
    bool secret = false;
};

std::vector<Difference> Compare(const Settings &a, const Settings &b);

// "Network/IPAddr: 10.0.0.5 -> 10.0.0.7" lines; secrets as *** unless
// `showSecrets`.
std::string DiffText(const std::vector<Difference> &differences, bool showSecrets);
// {"equal":false,"differences":[{"setting":...,"a":...,"b":...}]}.
std::string DiffJson(const std::vector<Difference> &differences, bool showSecrets);

// The value of a plain setting ("Agent/DeviceName"), empty when absent.
std::string SettingValue(const Settings &settings, const std::string &path);

} // namespace kelvo::history

#endif
