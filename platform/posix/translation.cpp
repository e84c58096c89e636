#include "platform/translation.h"

#include <clocale>
#include <cstdlib>
#include <libintl.h>

namespace platform {

namespace {

constexpr char kDomain[] = "veltrane";

}  // namespace

// Called once at start-up, before any other thread starts.
void UseUserLanguage()
{
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    std::setlocale(LC_ALL, "");
    // VELTRANE_LOCALEDIR lets a program run from its build folder find the
    // catalogues built there.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    const char* folder = std::getenv("VELTRANE_LOCALEDIR");
    bindtextdomain(kDomain, folder && *folder ? folder : VELTRANE_INSTALLED_LOCALEDIR);
    // The program's strings are UTF-8 inside, whatever the locale's own
    // character set.
    bind_textdomain_codeset(kDomain, "UTF-8");
}

// An empty text stays empty: the catalogue's entry for it is its header.
const char* Tr(const char* english) { return *english ? dgettext(kDomain, english) : english; }

const char* TrPlural(const char* one, const char* other, unsigned long count)
{
    return dngettext(kDomain, one, other, count);
}

}  // namespace platform
