// The catalogues travel inside each program as resources: one RCDATA named
// CATALOGUE per language, in the .mo form msgfmt writes, the resource's
// language telling whose it is. Windows keeps a module's resources mapped for
// the process's life, so a text found there is handed out as it lies.
#include "platform/translation.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace platform {

namespace {

struct Catalogue {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::uint32_t count = 0, originals = 0, translations = 0;
    const char* pluralRule = nullptr;  // the C expression after "plural=" in the header
};

Catalogue g_catalogue;

std::uint32_t Word(const Catalogue& c, std::size_t at)
{
    std::uint32_t value = 0;
    if (at + 4 <= c.size)
        std::memcpy(&value, c.data + at, 4);
    return value;
}

// The string of entry `index` in the table at `table`, with its length; null
// where the catalogue is damaged.
const char* EntryText(const Catalogue& c, std::uint32_t table, std::uint32_t index, std::uint32_t& length)
{
    const std::size_t at = table + std::size_t{index} * 8;
    length = Word(c, at);
    const std::uint32_t offset = Word(c, at + 4);
    if (at + 8 > c.size || offset >= c.size || length >= c.size - offset || c.data[offset + length] != '\0')
        return nullptr;
    return reinterpret_cast<const char*>(c.data + offset);
}

// The translation of `key` (`length` bytes, a plural's two forms joined by a
// NUL), with its length; null where there is none. msgfmt sorts the keys.
const char* Find(const char* key, std::size_t length, std::uint32_t& found)
{
    const Catalogue& c = g_catalogue;
    std::uint32_t low = 0, high = c.count;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        std::uint32_t size = 0;
        const char* original = EntryText(c, c.originals, middle, size);
        if (!original)
            return nullptr;
        int order = std::memcmp(key, original, std::min<std::size_t>(length, size));
        if (order == 0)
            order = length < size ? -1 : length > size ? 1 : 0;
        if (order == 0) {
            const char* text = EntryText(c, c.translations, middle, found);
            return text && found > 0 ? text : nullptr;
        }
        if (order < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return nullptr;
}

// The header's plural rule, a C expression of n, worked out for `n`: the
// few operators gettext's rules use, by precedence from the conditional
// down.
class PluralRule {
public:
    PluralRule(const char* rule, unsigned long n) : m_at(rule), m_n(n) {}
    unsigned long Value() { return Conditional(); }

private:
    void Blanks()
    {
        while (*m_at == ' ' || *m_at == '\t')
            ++m_at;
    }
    bool Take(const char* op)
    {
        Blanks();
        const std::size_t length = std::strlen(op);
        if (std::strncmp(m_at, op, length) != 0 || (length == 1 && (op[0] == '<' || op[0] == '>') && m_at[1] == '='))
            return false;
        m_at += length;
        return true;
    }
    unsigned long Conditional()
    {
        const unsigned long test = Or();
        if (!Take("?"))
            return test;
        const unsigned long yes = Conditional();
        Take(":");
        const unsigned long no = Conditional();
        return test ? yes : no;
    }
    unsigned long Or()
    {
        unsigned long value = And();
        while (Take("||"))
            value = (And() != 0) || value != 0;
        return value;
    }
    unsigned long And()
    {
        unsigned long value = Equality();
        while (Take("&&"))
            value = (Equality() != 0) && value != 0;
        return value;
    }
    unsigned long Equality()
    {
        unsigned long value = Relation();
        for (;;) {
            if (Take("=="))
                value = value == Relation();
            else if (Take("!="))
                value = value != Relation();
            else
                return value;
        }
    }
    unsigned long Relation()
    {
        unsigned long value = Product();
        for (;;) {
            if (Take("<="))
                value = value <= Product();
            else if (Take(">="))
                value = value >= Product();
            else if (Take("<"))
                value = value < Product();
            else if (Take(">"))
                value = value > Product();
            else
                return value;
        }
    }
    unsigned long Product()
    {
        unsigned long value = Unary();
        while (Take("%")) {
            const unsigned long divisor = Unary();
            value = divisor ? value % divisor : 0;
        }
        return value;
    }
    unsigned long Unary()
    {
        if (Take("!"))
            return !Unary();
        if (Take("(")) {
            const unsigned long value = Conditional();
            Take(")");
            return value;
        }
        Blanks();
        if (*m_at == 'n') {
            ++m_at;
            return m_n;
        }
        unsigned long number = 0;
        while (*m_at >= '0' && *m_at <= '9')
            number = number * 10 + static_cast<unsigned long>(*m_at++ - '0');
        return number;
    }

    const char* m_at;
    unsigned long m_n;
};

}  // namespace

void UseUserLanguage()
{
    // A catalogue is stored under its language alone, whatever the country
    // (the made-up one under the pseudo-locale's own number); a language
    // with none is left in English.
    const LANGID user = GetUserDefaultUILanguage();
    const auto find = [](WORD language) {
        return FindResourceExW(nullptr, MAKEINTRESOURCEW(10) /* RT_RCDATA */, L"CATALOGUE", language);
    };
    HRSRC found = find(user);
    if (!found)
        found = find(MAKELANGID(PRIMARYLANGID(user), SUBLANG_NEUTRAL));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    Catalogue c;
    c.data = static_cast<const unsigned char*>(data);
    c.size = data ? SizeofResource(nullptr, found) : 0;
    if (c.size < 28 || Word(c, 0) != 0x950412deu)
        return;
    c.count = Word(c, 8);
    c.originals = Word(c, 12);
    c.translations = Word(c, 16);
    g_catalogue = c;
    std::uint32_t length = 0;
    if (const char* header = Find("", 0, length)) {
        const char* plural = std::strstr(header, "plural=");
        g_catalogue.pluralRule = plural ? plural + 7 : nullptr;
    }
}

const char* Tr(const char* english)
{
    std::uint32_t length = 0;
    // An empty text stays empty: the catalogue's entry for it is its header.
    const char* text = g_catalogue.data && *english ? Find(english, std::strlen(english), length) : nullptr;
    return text ? text : english;
}

const char* TrPlural(const char* one, const char* other, unsigned long count)
{
    const std::string key = std::string(one) + '\0' + other;
    std::uint32_t length = 0;
    const char* forms = g_catalogue.data ? Find(key.data(), key.size(), length) : nullptr;
    if (!forms || !g_catalogue.pluralRule)
        return count == 1 ? one : other;
    // The forms lie one after another, each ending in a NUL.
    unsigned long index = PluralRule(g_catalogue.pluralRule, count).Value();
    const char* form = forms;
    for (; index > 0; --index) {
        const std::size_t size = std::strlen(form) + 1;
        if (form + size >= forms + length)
            break;
        form += size;
    }
    return form;
}

}  // namespace platform
