// The reference server's value decoders: any bytes decode or are refused; what decodes is UTF-8,
// and an escape then decode gives the text back, in both encodings.
#include "Codec.h"
#include "Store.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond, what)                                                                 \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s (%s)\n", __FILE__, __LINE__,  \
                         what, #cond);                                                         \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string s(reinterpret_cast<const char*>(data), size);

    if (auto d = qs::DecodePercentUtf8(s))
        FUZZ_CHECK(qs::IsValidUtf8(*d), "a percent decode that is not UTF-8");
    if (auto d = qs::DecodeUploadEscape(s)) {
        FUZZ_CHECK(qs::IsValidUtf8(*d), "an upload decode that is not UTF-8");
        FUZZ_CHECK(qs::DecodeUploadEscape(qs::EncodeUploadEscape(*d)) == *d, "upload escape round trip");
    }
    if (qs::IsValidUtf8(s)) {
        const auto up = qs::DecodeUploadEscape(qs::EncodeUploadEscape(s));
        FUZZ_CHECK(up && *up == s, "an escape then decode does not give the text back");
        const auto pc = qs::DecodePercentUtf8(qs::EncodePercentUtf8(s));
        FUZZ_CHECK(pc && *pc == s, "a percent encode then decode does not give the text back");
    }
    if (auto fields = qs::SplitFormBody(s)) {
        for (const auto& [name, value] : *fields) {
            FUZZ_CHECK(!name.empty(), "a form field without a name");
            FUZZ_CHECK(name.find('&') == std::string::npos && value.find('&') == std::string::npos,
                       "a form field holds the pair separator");
            FUZZ_CHECK(qs::HasField(*fields, name), "a field is not found by its name");
        }
    }
    qs::HtmlEscape(s);
    qs::UrlPathEscape(s);
    qs::IsSafeId(s);
    return 0;
}
