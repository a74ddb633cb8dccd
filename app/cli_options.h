#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quilfen::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A text from the command line as a message shows it: in single quotes, cut
// after its first 40 characters (not bytes) with "…" to show the cut.
std::string quoted(std::string_view text);

// "--name value" and "--name=value" pairs and bare "--flag"s of a command line.
class Options {
public:
    // Throws UsageError for a repeated option or a stray argument.
    Options(int argc, char** argv);

    bool has(const std::string& name) const;
    // Whether a flag was given; a value after it is refused.
    bool flag(const std::string& name) const;
    std::string requireString(const std::string& name) const;
    // A finite double (subnormals included), the whole text used apart from
    // blanks before and after it; read the same in every locale. A refusal
    // says why: not a number, infinite, too large, or too close to zero.
    double requireDouble(const std::string& name) const;
    // A decimal integer within [low, high], the whole text used apart from
    // blanks before and after it.
    std::int64_t requireInt(const std::string& name, std::int64_t low, std::int64_t high) const;
    std::int64_t intOr(const std::string& name, std::int64_t fallback, std::int64_t low,
                       std::int64_t high) const;
    // Throws UsageError naming the first option no command asked for.
    void rejectUnused() const;

private:
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
    std::set<std::string> m_valueApart;  // names whose value was the next argument
    mutable std::set<std::string> m_used;
};

}  // namespace quilfen::cli
