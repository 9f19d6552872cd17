/*
 * Device XML client library: HTTP/1.0 access to a device's values.xml and
 * setup.xml, parsed into fixed structures (qvxml_settings.h), with one worker
 * thread per handle.
 *
 * Conventions: every function returns 0 on success and -1 on failure unless
 * its comment says otherwise; the reason of a failure is kept in the error
 * record of the handle (slot 0 for qvxml_init, qvxml_open and everything that
 * has no handle yet) and read with qvxml_error. Handles are 1 to 99.
 *
 * Threads: public functions may be called from any thread. Requests only set
 * a flag and wake the handle's worker; callbacks run on that worker thread and
 * may call the library. To end a handle from inside one of its callbacks use
 * qvxml_close_for_callback (it does not return); qvxml_close waits up to
 * 3000 ms for the worker and is refused (39) on the handle's own worker.
 * A close ends a qvxml_wait_finish of another thread on that handle (-1, 40).
 * Issue one request at a time per handle and wait for its completion (callback,
 * qvxml_finish or qvxml_wait_finish) before the next: the worker keeps at most
 * one pending wake-up and does one operation per wake-up. The completion flag
 * is set before the completion callback runs.
 */
#ifndef QVXML_H
#define QVXML_H

#include <stdint.h>

#include "qvxml_settings.h"

#if defined(_WIN32)
#define QVXML_API __declspec(dllexport)
#else
#define QVXML_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define QVXML_ID_COUNT_MAX 100     /* handle slots 0..99; callers get 1..99 */
#define QVXML_MODULES_MAX 500      /* modules of a multi-device handle */
#define QVXML_BUFFER_SIZE 20000    /* document and request buffers */
#define QVXML_AUTHENTICATE_MAX 100 /* user name / password incl. NUL */
/* Extension: the longest text qvxml_send_setup_xml(_many) takes (16 MiB);
 * what is posted, the filtered document, must fit QVXML_BUFFER_SIZE. */
#define QVXML_UPLOAD_TEXT_MAX (16 * 1024 * 1024)
#define QVXML_HOST_MAX 100 /* host text incl. NUL */
#define QVXML_ERROR_TEXT_MAX 104
#define QVXML_ERROR_I2S_MAX 38 /* longest table message incl. NUL */

/* Error record of a handle or module, copied whole to callers. */
typedef struct qvxml_error_record {
    int32_t sys_errno;                   /* errno when the error was recorded */
    int32_t code;                        /* row of the error table, 0 = none */
    char sys_text[QVXML_ERROR_TEXT_MAX]; /* strerror(sys_errno) */
    char text[QVXML_ERROR_TEXT_MAX];     /* table message of code */
} qvxml_error_record;

/* Callbacks; all run on the handle's worker thread. module_index is -1 for a
 * single-device handle. Structure pointers are private copies valid only
 * during the call, or NULL when the operation failed. */
typedef void (*qvxml_values_done_cb)(int handle, void *user_data, int module_index,
                                     qvxml_values *values, qvxml_values_counts *counts);
typedef void (*qvxml_setup_done_cb)(int handle, void *user_data, int module_index,
                                    qvxml_setup *setup, qvxml_setup_counts *counts);
typedef void (*qvxml_all_done_cb)(int handle, void *user_data);
typedef void (*qvxml_connected_cb)(int handle, void *user_data, int module_index);
typedef void (*qvxml_connect_error_cb)(int handle, void *user_data, int module_index,
                                       qvxml_error_record *record);
/* Replaces the library's parsing of a document (kind 0 values, 1 setup);
 * return 0 to accept the text. */
typedef int (*qvxml_custom_parser_cb)(int handle, void *user_data, const char *text, int length,
                                      int kind);
/* After every library parse; structure/counts are the handle's cached results
 * of the kind, parser_result points to the SAX parser's result (0 clean,
 * positive: a well-formedness error). Runs with the parse lock held. */
typedef void (*qvxml_after_parse_cb)(int handle, void *user_data, const char *text, int length,
                                     int kind, void *structure, void *counts, int *parser_result);

/* The nine callback slots, in this order. */
typedef struct qvxml_callbacks {
    qvxml_values_done_cb values_done;     /* 0 */
    qvxml_setup_done_cb setup_done;       /* 1 */
    qvxml_all_done_cb all_values_done;    /* 2: multi-device round of values */
    qvxml_all_done_cb all_setup_done;     /* 3: multi-device round of setup */
    qvxml_setup_done_cb upload_done;      /* 4: the device's answer to an upload */
    qvxml_connected_cb connected;         /* 5 */
    qvxml_connect_error_cb connect_error; /* 6 */
    qvxml_custom_parser_cb custom_parser; /* 7 */
    qvxml_after_parse_cb after_parse;     /* 8 */
} qvxml_callbacks;

/* Options of a handle or module. An empty get_user/set_user sends no
 * Authorization header. */
typedef struct qvxml_options {
    int32_t check_at_start; /* not 0: one trial connection when the worker starts */
    char get_user[QVXML_AUTHENTICATE_MAX];
    char get_password[QVXML_AUTHENTICATE_MAX];
    char set_user[QVXML_AUTHENTICATE_MAX];
    char set_password[QVXML_AUTHENTICATE_MAX];
    qvxml_callbacks callbacks;
} qvxml_options;

/* Edits a module's cached setup in place before qvxml_send_setup_many writes it. */
typedef void (*qvxml_setup_edit_fn)(qvxml_setup *setup);

/* ---- errors ---- */

/* Copies the message of `code` (at most QVXML_ERROR_I2S_MAX bytes with the
 * NUL) into text_out; a code outside 0..89 gives the text of row 0. */
QVXML_API void qv_error_i2s(int code, char *text_out);
/* Copies the error record of the handle (0..99). */
QVXML_API int qvxml_error(int handle, qvxml_error_record *record_out);
/* Copies the error record of one module of a multi-device handle (4 when the
 * index is not below the module count). */
QVXML_API int qvxml_error_many(int handle, int module_index, qvxml_error_record *record_out);
/* Prints "%s (%i): %s (%i)\n" (text, code, sys_text, sys_errno) to stdout. */
QVXML_API void qvxml_error_print(int handle);

/* ---- lifetime ---- */

QVXML_API int qvxml_init(void);
QVXML_API int qvxml_uninit(void);
QVXML_API void qvxml_count_ref2zero(void);
QVXML_API void qvxml_xml_init_parser(void);

/* ---- handles and modules ---- */

/* Opens a single-device handle; result is the handle (1..99) or -1 (slot 0).
 * options may be NULL (all cleared). The worker starts asynchronously:
 * requests are refused with 40 until qvxml_finish(handle, 0) reports 0. */
QVXML_API int qvxml_open(const char *host, int port, const qvxml_options *options, void *user_data);
/* Opens a multi-device handle (modules are added with qvxml_add_module). */
QVXML_API int qvxml_open_many(void *user_data);
/* Ends the worker (waits at most 3000 ms; 39 when it did not end) and frees the
 * handle. Not from a callback of the same handle. */
QVXML_API int qvxml_close(int handle);
/* The same from inside a callback of the handle: frees the handle and ends the
 * calling worker thread; does not return. */
QVXML_API void qvxml_close_for_callback(int handle);
/* Result: the new module's index, or -1. Add modules before making requests. */
QVXML_API int qvxml_add_module(int handle, const char *host, int port,
                               const qvxml_options *options);
QVXML_API int qvxml_count_modules(int handle);
/* flags: one int per module (count entries); 0 = skipped by the worker. */
QVXML_API int qvxml_active_modules(int handle, const int *flags);
/* 1 multi-device, 0 single-device, -1 error. */
QVXML_API int qvxml_type_of(int handle);
/* ip_out: 16 bytes, host_out: 100 bytes. */
QVXML_API int qvxml_get_module(int handle, char *ip_out, int *port_out);
QVXML_API int qvxml_get_module_ex(int handle, char *host_out, char *ip_out, int *port_out);
QVXML_API int qvxml_get_module_many(int handle, int index, char *ip_out, int *port_out);
QVXML_API int qvxml_get_module_many_ex(int handle, int index, char *host_out, char *ip_out,
                                       int *port_out);
QVXML_API int qvxml_clr_settings_struct(qvxml_options *options);

/* ---- requests (return at once) ---- */

QVXML_API int qvxml_get_values(int handle);
QVXML_API int qvxml_get_setup(int handle);
/* Parse a document the caller already has; length below QVXML_BUFFER_SIZE. */
QVXML_API int qvxml_load_values(int handle, const char *text, int length);
QVXML_API int qvxml_load_setup(int handle, const char *text, int length);

/* ---- results: the get-document family ----
 * Each fails at once while the handle's record holds a transport, HTTP or
 * parse error. *_xml give a pointer into the library's buffer, valid until the
 * next request or close; *_copy need a buffer of QVXML_BUFFER_SIZE bytes. */
QVXML_API int qvxml_get_values_xml(int handle, char **text_out, int *length_out);
QVXML_API int qvxml_get_values_xml_copy(int handle, char *buffer, int *length_out);
QVXML_API int qvxml_get_values_to_file(int handle, const char *path);
QVXML_API int qvxml_get_values_cache(int handle, qvxml_values **values_out,
                                     qvxml_values_counts **counts_out);
QVXML_API int qvxml_get_values_cache_copy(int handle, qvxml_values *values,
                                          qvxml_values_counts *counts);
QVXML_API int qvxml_get_setup_xml(int handle, char **text_out, int *length_out);
QVXML_API int qvxml_get_setup_xml_copy(int handle, char *buffer, int *length_out);
QVXML_API int qvxml_get_setup_to_file(int handle, const char *path);
QVXML_API int qvxml_get_setup_cache(int handle, qvxml_setup **setup_out,
                                    qvxml_setup_counts **counts_out);
QVXML_API int qvxml_get_setup_cache_copy(int handle, qvxml_setup *setup,
                                         qvxml_setup_counts *counts);

QVXML_API int qvxml_get_values_xml_many(int handle, int index, char **text_out, int *length_out);
QVXML_API int qvxml_get_values_xml_many_copy(int handle, int index, char *buffer, int *length_out);
QVXML_API int qvxml_get_values_to_file_many(int handle, int index, const char *path);
QVXML_API int qvxml_get_values_cache_many(int handle, int index, qvxml_values **values_out,
                                          qvxml_values_counts **counts_out);
QVXML_API int qvxml_get_values_cache_many_copy(int handle, int index, qvxml_values *values,
                                               qvxml_values_counts *counts);
QVXML_API int qvxml_get_values_many_status(int handle, int index, int32_t *time_out);
QVXML_API int qvxml_get_setup_xml_many(int handle, int index, char **text_out, int *length_out);
QVXML_API int qvxml_get_setup_xml_many_copy(int handle, int index, char *buffer, int *length_out);
QVXML_API int qvxml_get_setup_to_file_many(int handle, int index, const char *path);
QVXML_API int qvxml_get_setup_cache_many(int handle, int index, qvxml_setup **setup_out,
                                         qvxml_setup_counts **counts_out);
QVXML_API int qvxml_get_setup_cache_many_copy(int handle, int index, qvxml_setup *setup,
                                              qvxml_setup_counts *counts);
QVXML_API int qvxml_get_setup_many_status(int handle, int index, int32_t *time_out);

/* ---- callbacks and completion ---- */

QVXML_API int qvxml_callback(int handle, const qvxml_callbacks *callbacks);
QVXML_API int qvxml_clr_callback(int handle, qvxml_callbacks *callbacks);
/* what: 0,1 worker runs; 2,3 values; 4,5 setup; 6 trap target; 7,8 upload;
 * 9 loaded values parsed; 10 loaded setup parsed. 0 when ended, else -1. */
QVXML_API int qvxml_finish(int handle, int what);
/* Blocks until qvxml_finish(handle, what) is 0 or about timeout_seconds
 * (+1 s) passed: 19 "Timeout". */
QVXML_API int qvxml_wait_finish(int handle, int what, int timeout_seconds);

/* ---- uploads, credentials, SNMP trap target ---- */

QVXML_API int qvxml_authenticate_get(int handle, const char *user, const char *password);
QVXML_API int qvxml_authenticate_set(int handle, const char *user, const char *password);
QVXML_API int qvxml_send_setup_xml(int handle, const char *text, int length);
QVXML_API int qvxml_send_setup_xml_many(int handle, const char *text, int length);
QVXML_API int qvxml_send_setup(int handle, const qvxml_setup *setup,
                               const qvxml_setup_counts *counts);
QVXML_API int qvxml_send_setup_many(int handle, qvxml_setup_edit_fn edit);
QVXML_API int qvxml_set_snmp_manager(int handle, const char *address, int port);
QVXML_API int qvxml_get_snmp_manager(int handle);
/* address_out: 16 bytes. 14 when no trap target is known. */
QVXML_API int qvxml_get_snmp_manager_cache(int handle, char *address_out, int *port_out);

#ifdef __cplusplus
}
#endif

#endif
