// Everything of the host network helpers in one include.
#ifndef KELVO_KELVOHOST_H
#define KELVO_KELVOHOST_H

#include "hostadapter.h"
#include "hostmacfilter.h"
#include "hostping.h"
#include "hostprompts.h"
#include "hosturl.h"

#endif
