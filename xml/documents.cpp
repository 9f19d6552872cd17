// Download and load requests, and the functions that hand out a handle's
// documents and their parsed results.
#include "core.h"
#include "files.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace qvxml {
namespace {

// The error codes after which a stored document may still be handed out.
bool code_allows_results(int32_t code) {
    switch (static_cast<error_code>(code)) {
    case error_code::none:
    case error_code::action_not_finished:
    case error_code::index_not_valid:
    case error_code::file_not_found:
    case error_code::file_not_valid:
    case error_code::id_not_found:
    case error_code::password_too_long:
    case error_code::user_too_long:
        return true;
    default:
        return false;
    }
}

// A stored text counts as a document once it has its XML declaration.
int check_text(int handle, const char *text, int32_t length) {
    if (length == 0) {
        record_error(handle, error_code::file_not_found);
        return -1;
    }
    const std::string_view document(text, static_cast<size_t>(length));
    if (document.find("<?xml") == std::string_view::npos) {
        record_error(handle, error_code::file_not_valid);
        return -1;
    }
    return 0;
}

// One stored document of a single-device handle (module null) or of a
// module of a multi-device handle.
struct document_ref {
    char *text = nullptr;
    int32_t length = 0;
    module_record *module = nullptr;
};

int find_single(int handle, int kind, document_ref &out) {
    slot *s = checked_slot(handle);
    if (s == nullptr) {
        return -1;
    }
    qvxml_error_record record;
    copy_error(handle, &record, &s->error);
    if (!code_allows_results(record.code)) {
        return -1;
    }
    {
        slot_lock lock(*s);
        kind_state &k = s->kinds[kind];
        if (k.done != 1) {
            // The worker may be writing the buffer and its length right now.
            record_error(handle, error_code::action_not_finished);
            return -1;
        }
        out.text = k.document.xml;
        out.length = k.document.length;
    }
    return check_text(handle, out.text, out.length);
}

// check_error: a failed last download of the module refuses its document.
int find_module(int handle, int index, int kind, document_ref &out, bool check_error) {
    module_record *m = module_of(handle, index);
    if (m == nullptr) {
        return -1;
    }
    slot &s = slot_at(handle);
    if (check_error) {
        qvxml_error_record record;
        copy_error(handle, &record, &m->error);
        if (!code_allows_results(record.code)) {
            copy_error(handle, &s.error, &record);
            return -1;
        }
    }
    {
        slot_lock lock(s);
        out.text = m->documents[kind].xml;
        out.length = m->documents[kind].length;
    }
    out.module = m;
    return check_text(handle, out.text, out.length);
}

// No module: the document of a single-device handle.
using module_index = std::optional<int>;
constexpr module_index single = std::nullopt;

int find_document(int handle, module_index index, int kind, document_ref &out) {
    return index ? find_module(handle, *index, kind, out, true) : find_single(handle, kind, out);
}

// find_document, and both outputs given (null_pointer recorded otherwise).
template <typename A, typename B>
int find_for(int handle, module_index index, int kind, document_ref &d, A *first, B *second) {
    if (find_document(handle, index, kind, d) != 0 || null_checked(handle, first) == nullptr ||
        null_checked(handle, second) == nullptr) {
        return -1;
    }
    return 0;
}

int get_xml(int handle, module_index index, int kind, char **text_out, int *length_out) {
    document_ref d;
    if (find_for(handle, index, kind, d, text_out, length_out) != 0) {
        return -1;
    }
    *text_out = d.text;
    *length_out = d.length;
    return 0;
}

int get_xml_copy(int handle, module_index index, int kind, char *buffer, int *length_out) {
    document_ref d;
    if (find_for(handle, index, kind, d, buffer, length_out) != 0) {
        return -1;
    }
    std::memcpy(buffer, d.text, static_cast<size_t>(d.length) + 1);
    *length_out = d.length;
    return 0;
}

int get_to_file(int handle, module_index index, int kind, const char *path) {
    document_ref d;
    if (find_document(handle, index, kind, d) != 0) {
        return -1;
    }
    if (path == nullptr) {
        record_error(handle, error_code::file_open);
        return -1;
    }
    // A document holds the device's passwords; a full disk must not cost the
    // previous file.
    const error_code code = files::replace_file(path, d.text, static_cast<size_t>(d.length));
    if (code != error_code::none) {
        record_error(handle, code);
        return -1;
    }
    return 0;
}

// The results behind a found document, with the parse lock held. false when a
// single-device handle has none (a custom parser ran instead).
template <int Kind>
bool results(int handle, const document_ref &d, typename results_of<Kind>::structure *&structure,
             typename results_of<Kind>::counts *&counts) {
    using r = results_of<Kind>;
    if (d.module != nullptr) {
        structure = r::of(*d.module);
        counts = r::counts_of(*d.module);
        return true;
    }
    const parse_results *cached = slot_results(handle);
    structure = r::cached(*cached);
    counts = r::cached_counts(*cached);
    if (structure == nullptr || counts == nullptr) {
        record_error(handle, error_code::action_not_valid);
        return false;
    }
    return true;
}

template <int Kind>
int get_cache(int handle, module_index index, typename results_of<Kind>::structure **structure_out,
              typename results_of<Kind>::counts **counts_out) {
    document_ref d;
    if (find_for(handle, index, Kind, d, structure_out, counts_out) != 0) {
        return -1;
    }
    parse_guard guard;
    return results<Kind>(handle, d, *structure_out, *counts_out) ? 0 : -1;
}

template <int Kind>
int get_cache_copy(int handle, module_index index,
                   typename results_of<Kind>::structure *structure_out,
                   typename results_of<Kind>::counts *counts_out) {
    document_ref d;
    if (find_for(handle, index, Kind, d, structure_out, counts_out) != 0) {
        return -1;
    }
    parse_guard guard;
    typename results_of<Kind>::structure *structure = nullptr;
    typename results_of<Kind>::counts *counts = nullptr;
    if (!results<Kind>(handle, d, structure, counts)) {
        return -1;
    }
    std::memcpy(structure_out, structure, sizeof *structure_out);
    std::memcpy(counts_out, counts, sizeof *counts_out);
    return 0;
}

template <int Kind> int many_status(int handle, int index, int32_t *time_out) {
    module_record *m = module_of(handle, index);
    if (m == nullptr || null_checked(handle, time_out) == nullptr) {
        return -1;
    }
    {
        parse_guard guard;
        *time_out = results_of<Kind>::of(*m)->time;
    }
    document_ref d;
    return find_module(handle, index, Kind, d, false);
}

int request_download(int handle, int kind) {
    if (running_slot(handle) == nullptr) {
        return -1;
    }
    queue_download(handle, kind, false);
    return 0;
}

int request_load(int handle, const char *text, int length, int kind) {
    if (checked_slot(handle) == nullptr) {
        return -1;
    }
    if (length < 0 || length >= buffer_size) {
        record_error(handle, error_code::too_long);
        return -1;
    }
    slot *s = nullptr;
    if (null_checked(handle, text) == nullptr || (s = running_slot(handle)) == nullptr) {
        return -1;
    }
    if (s->module_count != -1) {
        // The multi-device worker does not serve loaded documents.
        record_error(handle, error_code::id_not_found);
        return -1;
    }
    {
        slot_lock lock(*s);
        kind_state &k = s->kinds[kind];
        std::memcpy(k.document.xml, text, static_cast<size_t>(length));
        k.document.xml[length] = '\0';
        k.document.length = length;
        k.parsed = 0;
        if (kind == kind_setup) {
            s->want_trap_target = 0;
        }
    }
    wake_worker(handle);
    return 0;
}

} // namespace

void queue_download(int handle, int kind, bool trap_target) {
    slot &s = slot_at(handle);
    {
        slot_lock lock(s);
        kind_state &k = s.kinds[kind];
        k.done = 0;
        k.document.xml[0] = '\0';
        k.document.length = 0;
        if (kind == kind_setup) {
            s.want_trap_target = trap_target ? 1 : 0;
        }
        if (trap_target) {
            s.trap_target_done = 0;
        }
    }
    wake_worker(handle);
}

} // namespace qvxml

using namespace qvxml;

extern "C" {

int qvxml_get_values(int handle) {
    return request_download(handle, kind_values);
}
int qvxml_get_setup(int handle) {
    return request_download(handle, kind_setup);
}
int qvxml_load_values(int handle, const char *text, int length) {
    return request_load(handle, text, length, kind_values);
}
int qvxml_load_setup(int handle, const char *text, int length) {
    return request_load(handle, text, length, kind_setup);
}

int qvxml_get_values_xml(int handle, char **text_out, int *length_out) {
    return get_xml(handle, single, kind_values, text_out, length_out);
}
int qvxml_get_setup_xml(int handle, char **text_out, int *length_out) {
    return get_xml(handle, single, kind_setup, text_out, length_out);
}
int qvxml_get_values_xml_copy(int handle, char *buffer, int *length_out) {
    return get_xml_copy(handle, single, kind_values, buffer, length_out);
}
int qvxml_get_setup_xml_copy(int handle, char *buffer, int *length_out) {
    return get_xml_copy(handle, single, kind_setup, buffer, length_out);
}
int qvxml_get_values_to_file(int handle, const char *path) {
    return get_to_file(handle, single, kind_values, path);
}
int qvxml_get_setup_to_file(int handle, const char *path) {
    return get_to_file(handle, single, kind_setup, path);
}
int qvxml_get_values_cache(int handle, qvxml_values **values_out,
                           qvxml_values_counts **counts_out) {
    return get_cache<kind_values>(handle, single, values_out, counts_out);
}
int qvxml_get_setup_cache(int handle, qvxml_setup **setup_out, qvxml_setup_counts **counts_out) {
    return get_cache<kind_setup>(handle, single, setup_out, counts_out);
}
int qvxml_get_values_cache_copy(int handle, qvxml_values *values, qvxml_values_counts *counts) {
    return get_cache_copy<kind_values>(handle, single, values, counts);
}
int qvxml_get_setup_cache_copy(int handle, qvxml_setup *setup, qvxml_setup_counts *counts) {
    return get_cache_copy<kind_setup>(handle, single, setup, counts);
}

int qvxml_get_values_xml_many(int handle, int index, char **text_out, int *length_out) {
    return get_xml(handle, index, kind_values, text_out, length_out);
}
int qvxml_get_setup_xml_many(int handle, int index, char **text_out, int *length_out) {
    return get_xml(handle, index, kind_setup, text_out, length_out);
}
int qvxml_get_values_xml_many_copy(int handle, int index, char *buffer, int *length_out) {
    return get_xml_copy(handle, index, kind_values, buffer, length_out);
}
int qvxml_get_setup_xml_many_copy(int handle, int index, char *buffer, int *length_out) {
    return get_xml_copy(handle, index, kind_setup, buffer, length_out);
}
int qvxml_get_values_to_file_many(int handle, int index, const char *path) {
    return get_to_file(handle, index, kind_values, path);
}
int qvxml_get_setup_to_file_many(int handle, int index, const char *path) {
    return get_to_file(handle, index, kind_setup, path);
}
int qvxml_get_values_cache_many(int handle, int index, qvxml_values **values_out,
                                qvxml_values_counts **counts_out) {
    return get_cache<kind_values>(handle, index, values_out, counts_out);
}
int qvxml_get_setup_cache_many(int handle, int index, qvxml_setup **setup_out,
                               qvxml_setup_counts **counts_out) {
    return get_cache<kind_setup>(handle, index, setup_out, counts_out);
}
int qvxml_get_values_cache_many_copy(int handle, int index, qvxml_values *values,
                                     qvxml_values_counts *counts) {
    return get_cache_copy<kind_values>(handle, index, values, counts);
}
int qvxml_get_setup_cache_many_copy(int handle, int index, qvxml_setup *setup,
                                    qvxml_setup_counts *counts) {
    return get_cache_copy<kind_setup>(handle, index, setup, counts);
}
int qvxml_get_values_many_status(int handle, int index, int32_t *time_out) {
    return many_status<kind_values>(handle, index, time_out);
}
int qvxml_get_setup_many_status(int handle, int index, int32_t *time_out) {
    return many_status<kind_setup>(handle, index, time_out);
}

} // extern "C"
