// The downloaders' view of a parameter file: text values by section and
// field, read with the suite's own XML tokeniser (no schema, no process
// set-up: the downloaders run outside the service).
#pragma once

#include <map>
#include <optional>
#include <string>

namespace NORBS_FETCH {

class CParameterFile {
public:
    // None when the file cannot be read or is not XML.
    static std::optional<CParameterFile> load(const std::string& path);

    // The field's text; none when the field is absent or holds one of the
    // placeholders USER_PARAMETER_TO_FILL / USER_OPTIONAL_PARAMETER.  The
    // empty-text mark gives "".
    std::optional<std::string> value(const std::string& section, const std::string& field) const;
    // The value, or `fallback` when none or empty.
    std::string text(const std::string& section, const std::string& field, const std::string& fallback = "") const;
    // A whole number >= `minimum`; `fallback` when unset; throws
    // CFetchFailure(kBadArguments) naming the field when it is not one.
    long number(const std::string& section, const std::string& field, long fallback, long minimum) const;
    // An http(s) URL without trailing "/", `fallback` when unset; throws
    // CFetchFailure(kBadArguments) naming the field when it is not one.
    std::string url(const std::string& section, const std::string& field, const std::string& fallback) const;

private:
    std::map<std::string, std::string> mValues;  // "SECTION.field" -> text
};

}  // namespace NORBS_FETCH
