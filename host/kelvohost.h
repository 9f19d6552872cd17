// Everything of the host network helpers in one include.
//
// Threading contract, in short (each header gives the details):
// - ReadLocalAdapter, LoadMacFilter and LoadMacFilterFile fill process-wide
//   values once at start-up, before anything reads them; they are not
//   thread-safe against readers.
// - CheckNewAddress and CheckReachable run on the thread that owns the
//   HostPrompts (the user-interface thread) and call it synchronously;
//   CheckReachable may block that thread for the ping test (about 2 s).
// - PingAddress blocks its caller for up to about 2 s, keeps no shared state
//   and may run on any thread. IsMacFiltered and BrowserUrl may run on any
//   thread once the filter is loaded.
// - Nothing here starts a thread, keeps a socket open between calls, or calls
//   back later.
#ifndef KELVO_KELVOHOST_H
#define KELVO_KELVOHOST_H

#include "hostadapter.h"
#include "hostmacfilter.h"
#include "hostping.h"
#include "hostprompts.h"
#include "hostrelay.h"
#include "hosturl.h"

#endif
