// Parameter file values for the downloaders.
#include "fetch_parameters.h"

#include <charconv>

#include "fetch_failure.h"
#include "fetch_http.h"
#include "orbs_description_section.h"
#include "orbs_description_xml.h"

namespace NORBS_FETCH {

std::optional<CParameterFile> CParameterFile::load(const std::string& path) {
    const std::unique_ptr<CXmlTagList> tags = forbs_xml_parser(path);
    if (!tags) return std::nullopt;
    CParameterFile file;
    std::string section;
    for (int i = 0; i < tags->getTagsNbr(); ++i) {
        if (tags->getDepth(i) == 1) section = tags->getName(i);
        if (tags->getDepth(i) != 2) continue;
        std::string value = NORBS_PARAMETER_FILE::decodeXmlText(tags->getTextView(i));
        // Both sides trimmed, as the suite's reader does.
        value.erase(0, value.find_first_not_of(" \t\r\n"));
        value.erase(value.find_last_not_of(" \t\r\n") + 1);
        file.mValues[section + "." + tags->getName(i)] = value;
    }
    return file;
}

std::optional<std::string> CParameterFile::value(const std::string& section, const std::string& field) const {
    const auto found = mValues.find(section + "." + field);
    if (found == mValues.end() || found->second == CORBS_USER_PARAMETER_TO_FILL ||
        found->second == CORBS_USER_OPTIONAL_PARAMETER)
        return std::nullopt;
    if (found->second == "\"\"") return std::string();
    return found->second;
}

std::string CParameterFile::text(const std::string& section, const std::string& field,
                                 const std::string& fallback) const {
    const auto found = value(section, field);
    return found && !found->empty() ? *found : fallback;
}

long CParameterFile::number(const std::string& section, const std::string& field, long fallback,
                            long minimum) const {
    const auto found = value(section, field);
    if (!found || found->empty()) return fallback;
    long number = 0;
    const auto [end, error] = std::from_chars(found->data(), found->data() + found->size(), number);
    if (error != std::errc() || end != found->data() + found->size() || number < minimum)
        throw CFetchFailure(Outcome::kBadArguments, section + "." + field + " must be a whole number of at least " +
                                                        std::to_string(minimum) + ", not '" + *found + "'");
    return number;
}

std::string CParameterFile::url(const std::string& section, const std::string& field,
                                const std::string& fallback) const {
    std::string url = text(section, field, fallback);
    while (!url.empty() && url.back() == '/') url.pop_back();
    const auto origin = originOf(url);
    if (!origin || (origin->scheme != "https" && origin->scheme != "http"))
        throw CFetchFailure(Outcome::kBadArguments, section + "." + field + " is not an http(s) URL: '" + url + "'");
    return url;
}

}  // namespace NORBS_FETCH
