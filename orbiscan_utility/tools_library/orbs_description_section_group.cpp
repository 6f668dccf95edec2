// CSectionDataGroup: sections and key lookup.
#include <algorithm>

#include "orbs_description_section.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::traceInfo;

CSectionDataGroup::CSectionDataGroup() { set(0, "", "", -1); }

CSectionField* CSectionDataGroup::findField(const std::string& key) const {
    const std::size_t dot = key.find('.');
    if (dot != std::string::npos) {
        const CSectionData* section = getSection(key.substr(0, dot));
        return section != nullptr ? section->findField(key.substr(dot + 1)) : nullptr;
    }
    for (const auto& section : mSectionData) {
        if (CSectionField* field = section->findField(key)) return field;
    }
    return nullptr;
}

CSectionField& CSectionDataGroup::operator[](const std::string& key) const {
    CSectionField* field = findField(key);
    if (field == nullptr) {
        print(true, 15);
        traceInfo("CSectionDataGroup Not found the field : %s\n", key.c_str());
        traceFileName();
        print(false, 15);
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_SECTION_SOURCE, __LINE__, key);
    }
    return *field;
}

CSectionData* CSectionDataGroup::getSection(const std::string& name) const {
    const auto it = std::find_if(mSectionData.begin(), mSectionData.end(),
                                 [&name](const auto& section) { return section->getName() == name; });
    return it == mSectionData.end() ? nullptr : it->get();
}

CSectionData* CSectionDataGroup::getSection(int i) const {
    if (i < 0 || i >= mSectionDataNbr) return nullptr;
    return mSectionData[static_cast<std::size_t>(i)].get();
}

CSectionData& CSectionDataGroup::addSection(std::unique_ptr<CSectionData> section) {
    mSectionData.push_back(std::move(section));
    mSectionDataNbr = static_cast<int>(mSectionData.size());
    return *mSectionData.back();
}

void CSectionDataGroup::removeAllSections() {
    mSectionData.clear();
    mSectionDataNbr = 0;
}

void CSectionDataGroup::clearAllFields() {
    for (auto& section : mSectionData) section->clearAll();
}

void CSectionDataGroup::traceFileName() const {
    if (mFileName) traceInfo("CSectionDataGroup In file : %s\n", mFileName->c_str());
}
