#include "mime/MimeLibrary.h"

GMimeParserOptions *mimeParserOptions()
{
    // g_mime_init is not safe to call twice; a function-local static runs it exactly once even
    // when several threads parse at the same time.
    static GMimeParserOptions *const options = [] {
        g_mime_init();
        GMimeParserOptions *o = g_mime_parser_options_new();
        // Real mail breaks the rules: encoded words inside quoted names, unquoted commas,
        // 8-bit header bytes. Loose parsing shows what the sender meant.
        g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_rfc2047_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_allow_addresses_without_domain(o, TRUE);
        // Raw 8-bit header text: UTF-8 when it is valid, otherwise Latin-1, which never fails.
        const char *fallback[] = {"utf-8", "iso-8859-1", nullptr};
        g_mime_parser_options_set_fallback_charsets(o, fallback);
        return o;
    }();
    return options;
}
