#include "cli_options.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace quilfen::cli {

namespace {
bool isOptionName(const std::string& s)
{
    return s.size() > 2 && s.compare(0, 2, "--") == 0;
}
}  // namespace

Options::Options(int argc, char** argv)
{
    for (int k = 0; k < argc; ++k) {
        const std::string name = argv[k];
        if (!isOptionName(name))
            throw UsageError("unexpected argument '" + name + "'");
        if (m_values.count(name) || m_flags.count(name))
            throw UsageError("option " + name + " given twice");
        if (k + 1 < argc && !isOptionName(argv[k + 1]))
            m_values[name] = argv[++k];
        else
            m_flags.insert(name);
    }
}

bool Options::has(const std::string& name) const
{
    return m_values.count(name) != 0 || m_flags.count(name) != 0;
}

bool Options::flag(const std::string& name) const
{
    m_used.insert(name);
    if (m_values.count(name))
        throw UsageError("option " + name + " takes no value");
    return m_flags.count(name) != 0;
}

std::string Options::requireString(const std::string& name) const
{
    m_used.insert(name);
    const auto it = m_values.find(name);
    if (it == m_values.end())
        throw UsageError(m_flags.count(name) ? "option " + name + " needs a value"
                                             : "missing option " + name);
    return it->second;
}

std::string Options::stringOr(const std::string& name, const std::string& fallback) const
{
    return has(name) ? requireString(name) : (m_used.insert(name), fallback);
}

double Options::requireDouble(const std::string& name) const
{
    const std::string text = requireString(name);
    // from_chars reads a full stop as the point in every locale (strtod
    // would take the locale's); it takes no "+", so that is skipped here.
    const char* first = text.c_str();
    const char* last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || end != last || error != std::errc() || !std::isfinite(value))
        throw UsageError("option " + name + ": '" + text + "' is not a finite number");
    return value;
}

std::int64_t Options::requireInt(const std::string& name, std::int64_t low, std::int64_t high) const
{
    const std::string text = requireString(name);
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || value < low ||
        value > high)
        throw UsageError("option " + name + ": '" + text + "' is not a whole number from " +
                         std::to_string(low) + " to " + std::to_string(high));
    return value;
}

std::int64_t Options::intOr(const std::string& name, std::int64_t fallback, std::int64_t low,
                            std::int64_t high) const
{
    if (!has(name)) {
        m_used.insert(name);
        return fallback;
    }
    return requireInt(name, low, high);
}

void Options::rejectUnused() const
{
    for (const auto& [name, value] : m_values)
        if (!m_used.count(name))
            throw UsageError("unknown option " + name);
    for (const auto& name : m_flags)
        if (!m_used.count(name))
            throw UsageError("unknown option " + name);
}

}  // namespace quilfen::cli
