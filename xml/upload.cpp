// Configuration upload, the credential store and the SNMP trap target.
#include "http.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qvxml {
namespace {

constexpr char trap_body_format[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n<SnmpTraps>\n<Entry>\n<Idx>1</Idx>\n"
    "<Community>public</Community>\n<IPaddr>%s</IPaddr>\n<Port>%i</Port>\n<E>1</E>\n"
    "</Entry>\n</SnmpTraps>\n</Root>";

struct free_deleter {
    void operator()(void *p) const { std::free(p); }
};
using buffer_ptr = std::unique_ptr<char, free_deleter>;

buffer_ptr make_buffer(int handle, size_t size) {
    buffer_ptr buffer(static_cast<char *>(std::calloc(1, size)));
    if (!buffer) {
        record_error(handle, error_code::no_memory);
    }
    return buffer;
}

int store_credentials(int handle, const char *user, const char *password, bool for_upload) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (user == nullptr) {
        user = "";
    }
    if (password == nullptr) {
        password = "";
    }
    if (strnlen(user, QVXML_AUTHENTICATE_MAX) >= QVXML_AUTHENTICATE_MAX) {
        record_error(handle, error_code::user_too_long);
        return -1;
    }
    if (strnlen(password, QVXML_AUTHENTICATE_MAX) >= QVXML_AUTHENTICATE_MAX) {
        record_error(handle, error_code::password_too_long);
        return -1;
    }
    slot_lock lock(*s);
    char *u = for_upload ? s->options.set_user : s->options.get_user;
    char *p = for_upload ? s->options.set_password : s->options.get_password;
    std::memset(u, 0, QVXML_AUTHENTICATE_MAX);
    std::memset(p, 0, QVXML_AUTHENTICATE_MAX);
    std::strcpy(u, user);
    std::strcpy(p, password);
    return 0;
}

// The upload request for a filtered document, written into `request`
// (buffer_size bytes) only when it fits whole; too_long otherwise.
int build_request(int handle, const qvxml_options &options, const char *document, char *request) {
    char authorization[400] = {};
    if (http_authorization(options.set_user, options.set_password, authorization,
                           sizeof authorization) != 0) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    buffer_ptr text = make_buffer(handle, buffer_size);
    if (!text) {
        return -1;
    }
    if (http_post_request(authorization, document, text.get(), buffer_size) != 0) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    std::memcpy(request, text.get(), buffer_size);
    return 0;
}

// The filtered form of a caller's text, or null (code recorded).
buffer_ptr filtered_copy(int handle, const char *text, int length) {
    // Room for the filter's declaration line when the text is tiny.
    const size_t capacity = static_cast<size_t>(length) + 1024;
    buffer_ptr work = make_buffer(handle, capacity);
    if (!work) {
        return nullptr;
    }
    std::memcpy(work.get(), text, static_cast<size_t>(length));
    if (filter_upload_xml(handle, work.get(), static_cast<int>(capacity)) != 0) {
        return nullptr;
    }
    return work;
}

int prepare_from_structure(int handle, const qvxml_options &options, const qvxml_setup *setup,
                           const qvxml_setup_counts *counts, char *request) {
    buffer_ptr work = make_buffer(handle, buffer_size);
    if (!work) {
        return -1;
    }
    if (write_setup_xml(setup, counts, work.get(), buffer_size) < 0) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    // The filter gets the whole buffer: its output must never be refused only
    // because it is longer than the writer's text.
    if (filter_upload_xml(handle, work.get(), buffer_size) != 0) {
        return -1;
    }
    return build_request(handle, options, work.get(), request);
}

// The running handle of an upload; multi-device or single-device as asked.
slot *upload_slot(int handle, bool many) {
    slot *s = running_slot(handle);
    if (s != nullptr && (s->module_count == -1) == many) {
        record_error(handle, error_code::id_not_found);
        return nullptr;
    }
    return s;
}

void queue_upload(int handle) {
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        s.send_done = 0;
    }
    wake_worker(handle);
}

// The bound applies to the filtered document (build_request): a saved
// configuration with CR LF line ends and indentation is larger than what is
// posted. Only a text far larger than any configuration is refused up front.
int check_text(int handle, const char *text, int length) {
    if (text == nullptr) {
        record_error(handle, error_code::null_pointer);
        return -1;
    }
    if (length < 0 || length > QVXML_UPLOAD_TEXT_MAX) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    return 0;
}

} // namespace
} // namespace qvxml

using namespace qvxml;

extern "C" {

int qvxml_authenticate_get(int handle, const char *user, const char *password) {
    return store_credentials(handle, user, password, false);
}

int qvxml_authenticate_set(int handle, const char *user, const char *password) {
    return store_credentials(handle, user, password, true);
}

int qvxml_send_setup_xml(int handle, const char *text, int length) {
    slot *s = upload_slot(handle, false);
    if (s == nullptr || check_text(handle, text, length) != 0) {
        return -1;
    }
    buffer_ptr filtered = filtered_copy(handle, text, length);
    if (!filtered || build_request(handle, s->options, filtered.get(), s->request) != 0) {
        return -1;
    }
    queue_upload(handle);
    return 0;
}

int qvxml_send_setup_xml_many(int handle, const char *text, int length) {
    slot *s = upload_slot(handle, true);
    if (s == nullptr || check_text(handle, text, length) != 0) {
        return -1;
    }
    buffer_ptr filtered = filtered_copy(handle, text, length);
    if (!filtered) {
        return -1;
    }
    for (int i = 0; i < s->module_count; ++i) {
        module_record *m = s->modules[i];
        if (build_request(handle, m->options, filtered.get(), m->request) != 0) {
            return -1;
        }
    }
    queue_upload(handle);
    return 0;
}

int qvxml_send_setup(int handle, const qvxml_setup *setup, const qvxml_setup_counts *counts) {
    slot *s = upload_slot(handle, false);
    if (s == nullptr) {
        return -1;
    }
    if (setup == nullptr || counts == nullptr) {
        record_error(handle, error_code::null_pointer);
        return -1;
    }
    if (prepare_from_structure(handle, s->options, setup, counts, s->request) != 0) {
        return -1;
    }
    queue_upload(handle);
    return 0;
}

int qvxml_send_setup_many(int handle, qvxml_setup_edit_fn edit) {
    slot *s = upload_slot(handle, true);
    if (s == nullptr) {
        return -1;
    }
    for (int i = 0; i < s->module_count; ++i) {
        module_record *m = s->modules[i];
        if (edit != nullptr) {
            edit(&m->setup);
        }
        if (prepare_from_structure(handle, m->options, &m->setup, &m->setup_counts, m->request) !=
            0) {
            return -1;
        }
    }
    queue_upload(handle);
    return 0;
}

int qvxml_set_snmp_manager(int handle, const char *address, int port) {
    slot *s = upload_slot(handle, false);
    if (s == nullptr) {
        return -1;
    }
    if (address == nullptr || strnlen(address, ip_size) >= ip_size) {
        record_error(handle, error_code::ip_not_valid);
        return -1;
    }
    char body[512] = {};
    std::snprintf(body, sizeof body, trap_body_format, address, port);
    // Built before send_done is cleared, so a pending wake-up never finds a
    // half-written request.
    char request[1024] = {};
    http_post_request("", body, request, sizeof request);
    std::memset(s->request, 0, sizeof s->request);
    std::memcpy(s->request, request, sizeof request);
    queue_upload(handle);
    return 0;
}

int qvxml_get_snmp_manager(int handle) {
    if (upload_slot(handle, false) == nullptr) {
        return -1;
    }
    queue_download(handle, kind_setup, true);
    return 0;
}

int qvxml_get_snmp_manager_cache(int handle, char *address_out, int *port_out) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    if (address_out == nullptr || port_out == nullptr) {
        record_error(handle, error_code::null_pointer);
        return -1;
    }
    slot_lock lock(*s);
    if (s->trap_target_ip[0] == '\0') {
        record_error(handle, error_code::address_not_found);
        return -1;
    }
    copy_text(address_out, s->trap_target_ip, ip_size);
    *port_out = s->trap_target_port;
    return 0;
}

} // extern "C"
