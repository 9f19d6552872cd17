/* The public header is used from C: it must compile as C11 and link. */
#include "qvxml.h"

#include <string.h>

int main(void) {
    char text[QVXML_ERROR_I2S_MAX];
    qvxml_options options;
    qvxml_error_record record;
    memset(&options, 1, sizeof options);
    qvxml_clr_settings_struct(&options);
    qv_error_i2s(48, text);
    if (strcmp(text, "HTTP: Unauthorized") != 0 || options.callbacks.values_done != 0) {
        return 1;
    }
    return qvxml_error(0, &record);
}
