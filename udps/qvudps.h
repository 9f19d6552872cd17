/*
 * Discovery and setup library: finds the devices on the local network with a
 * UDP search, gives one device new network settings with a signed UDP setup
 * message, and reads or writes device names over HTTP.
 *
 * One instance per process. A single worker thread, started by qvudps_init,
 * does all network work; the functions below only record requests and wake
 * it. Every function may be called from any thread. Results are 0 on success
 * and -1 on failure unless a comment says otherwise; after -1 the reason is
 * in the last-error record (qvudps_error).
 *
 * Hooks (qvudps_callback) run on the worker thread while the library lock is
 * held: a hook may call the library again (the lock is recursive) but must not
 * wait for another thread that calls the library.
 *
 * From the moment a search or setup is reported finished (its done or error
 * hook runs, or the finish poll returns 0) the worker takes a new search or
 * setup, also from inside that hook. While a request runs, a second one of
 * the same kind is refused ("Search already run", "Setup already run") and
 * one of the other kind with "Action not success".
 */
#ifndef QVUDPS_H
#define QVUDPS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define QVUDPS_API __declspec(dllexport)
#elif defined(__GNUC__)
#define QVUDPS_API __attribute__((visibility("default")))
#else
#define QVUDPS_API
#endif

/* Size of the record table: a search keeps at most this many devices
 * (qvudps_set_capacity changes it). */
#define MAX_MODULES 1000
/* Largest HTTP answer the name lookup accepts, header included. */
#define UDPS_XML_FILE_SIZE 100000

/* One device found by a search. Texts are NUL-terminated; addresses are
 * dotted decimal, the MAC address is "00:11:22:33:44:55" (upper case). */
typedef struct qvudps_module {
    uint16_t port;     /* device port from the reply */
    uint16_t web_port; /* HTTP port; 0 means 80 */
    char name[100];    /* UTF-8 device name */
    char ip[16];
    char mask[16];
    char filter_ip[16];
    char filter_mask[16];
    char gateway[16];
    char firmware[12]; /* "major.minor.build" */
    uint8_t token[8];
    uint8_t auth_code[8];
    char type_name[101];
    uint8_t nvt_supported;
    uint16_t tcp_setup_port; /* 0 means 99 */
    uint8_t raw_version;
    uint8_t raw_type;
    uint8_t tea_supported;
    uint8_t tcp_setup_supported;
    char mac[18];
    uint8_t name_supported;
    uint8_t defaults_supported;
    uint8_t tea_enabled;
    uint8_t nvt_enabled;
    uint8_t tcp_setup_enabled;
    uint8_t dhcp_supported;
    uint8_t dhcp_enabled;
    uint8_t load_defaults; /* set to 1 in a setup request to restore the defaults */
    uint8_t fw_major;
    uint8_t fw_minor;
    uint8_t fw_build;
    uint16_t type;
    uint8_t web_supported;
    uint8_t setup_auth_required;
    uint8_t raw_flags;
    uint8_t raw_reserved;
    uint16_t ext_value;
    uint8_t filter_supported;
} qvudps_module;

/* The last failure: message text, the system error number at that moment
 * (0 for a request refused because of the library's state) and its text. */
typedef struct qvudps_error_info {
    int32_t code;
    uint32_t reserved; /* always 0 */
    char detail[104];
    char message[104];
} qvudps_error_info;

/* Hooks, called on the worker thread with the library lock held. `error`
 * points at the library's own last-error record. */
typedef struct qvudps_callbacks {
    void (*on_search_done)(void *context);
    void (*on_setup_done)(void *context);
    void (*on_search_error)(void *context, const qvudps_error_info *error);
    void (*on_setup_error)(void *context, const qvudps_error_info *error);
} qvudps_callbacks;

/* A 128-bit TEA key and the constant added in every cycle (0x9E3779B9). */
typedef struct qvudps_tea_key {
    uint32_t k0;
    uint32_t k1;
    uint32_t k2;
    uint32_t k3;
    uint32_t delta;
} qvudps_tea_key;

/* Starts the library and its worker thread, clears the hooks and installs
 * the built-in search key. -1 with "Init already run" while initialized
 * (also until the worker of a previous qvudps_uninit has ended). */
QVUDPS_API int qvudps_init(void);
/* Drops pending requests and asks the worker to end; returns at once. */
QVUDPS_API int qvudps_uninit(void);

/* Asks for a search; the caller polls qvudps_search_finish or waits for
 * on_search_done. name_lookup 1 fetches the names of devices that do not
 * report them. The context is handed to the search hooks.
 * A search always ends: the replies are collected until the quiet period
 * (or at most 30 s, however they keep coming; a full table keeps collecting
 * only to count the devices left out), then all name lookups run at once,
 * each cut 4 s after it began; a device that misses that keeps its record
 * without a name. */
QVUDPS_API int qvudps_search(int name_lookup, void *context);
/* 0 when no search is under way, -1 while one runs. */
QVUDPS_API int qvudps_search_finish(void);
/* Number of records of the last search. */
QVUDPS_API int qvudps_count(void);
/* Hands out the next record by pointer; -1 after the last one. The pointer
 * stays valid, its contents unchanged, until the next search starts. */
QVUDPS_API int qvudps_record(qvudps_module **out);
/* The same as qvudps_record, but copies the record into *dst. */
QVUDPS_API int qvudps_record_copy(qvudps_module *dst);
/* Restarts qvudps_record at the first record; 0. */
QVUDPS_API int qvudps_rewind(void);

/* ---- Extensions ---------------------------------------------------------
 * Beyond the table size above and beyond reading results only at the end.
 * Callable from any thread, including the hooks. */

/* Sets the record table to `records` entries (1..100000; MAX_MODULES until
 * called). Only between requests: -1 with "Action not success" while a
 * search or setup is asked for or runs, -1 with "Capacity out of range"
 * outside the bounds or when the memory is not there; the table is then
 * unchanged. On success the records of the last search are gone (count 0)
 * and earlier qvudps_record pointers are no longer valid. */
QVUDPS_API int qvudps_set_capacity(int records);
/* Distinct devices that answered the last (or the running) search after the
 * table was full, so that they are not among its records; 0 when all fit.
 * Counted up to 1000000. */
QVUDPS_API int qvudps_count_dropped(void);
/* The records gathered so far: during a search, the devices that have
 * answered up to now, in table order; once it has finished, the final list
 * (the same as qvudps_count). Records only ever get added at the end, so
 * what is read during a search is a prefix of the final list; a record's
 * name may still be filled in by the lookup until the search ends. */
QVUDPS_API int qvudps_count_partial(void);
/* Copies record `index` (0 .. qvudps_count_partial() - 1) into *dst under
 * the library lock; -1 for an index outside that range (the error record is
 * left alone). Does not move the qvudps_record cursor. */
QVUDPS_API int qvudps_record_partial(int index, qvudps_module *dst);

/* Names the next search takes instead of looking them up, for a caller that
 * searches again and again: a device whose reply is the same as one of these
 * records (MAC, addresses, filter, port, type, firmware and flags; the token
 * and the reserved byte, which the library only echoes, aside)
 * gets the record's name without an HTTP request, so that only new or
 * changed devices are asked. The library copies the records; the next
 * qvudps_search with name_lookup 1 uses them, later ones not. NULL or 0
 * clears. -1 with "Capacity out of range" for a count below 0 or above
 * 100000 (the list is then cleared), or a NULL list with a count. */
QVUDPS_API int qvudps_set_known_names(const qvudps_module *known, int count);

/* Asks for a setup of the device whose `mac` the settings name; the library
 * copies *settings. name_upload 1 uploads the new name over HTTP for the
 * device types that take it, and only when it differs from the name the
 * last search stored for the device, so that a name the search could not
 * read is never overwritten. */
QVUDPS_API int qvudps_setup(const qvudps_module *settings, int name_upload, void *context);
/* 0 when no setup is under way, -1 while one runs. */
QVUDPS_API int qvudps_setup_finish(void);

/* Copies the last-error record; 0. */
QVUDPS_API int qvudps_error(qvudps_error_info *dst);
/* Prints the last error as "message (code): detail" to standard output; 0. */
QVUDPS_API int qvudps_error_print(void);

/* Copies the four hook pointers; NULL clears them. 0. */
QVUDPS_API int qvudps_callback(const qvudps_callbacks *hooks);
/* Sets the four pointers of the caller's record to NULL; 0. */
QVUDPS_API int qvudps_clr_callback_struct(qvudps_callbacks *hooks);
/* Replaces the search and setup contexts equal to `context` by NULL, for a
 * caller that goes away; 0. */
QVUDPS_API int qvudps_clr_ptr(void *context);

/* Proxy mode: every datagram goes to address:port (0 means 9999) behind the
 * relay header carrying client_name (at most 15 characters are used), and
 * only datagrams from that address count. A NULL address returns to direct
 * mode (broadcast). -1 when the port is outside 0..65535. */
QVUDPS_API int qvudps_set_proxy(const char *address, int port, const char *client_name);

/* Replaces the words of the search key (the delta stays). Overwritten by
 * qvudps_init. 0. */
QVUDPS_API int qvudps_set_tea_keys(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3);
/* Sets the setup key, used for devices that require setup authorisation. 0. */
QVUDPS_API int qvudps_set_setup_tea_keys(uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3);

#ifdef __cplusplus
}
#endif

#endif
