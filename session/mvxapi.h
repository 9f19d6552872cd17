/*
 * Device session layer (namespace mvxapi): sessions over the XML client
 * library, their events, the file transfers, the setters and the document
 * views. Include this header; link kelvo::session.
 */
#ifndef MVXAPI_H
#define MVXAPI_H

#include "ioxml.h"
#include "sdkevents.h"
#include "xmlviews.h"

#endif
