// CSectionData: one section and its flat field list.
#include <algorithm>

#include "orbs_description_section.h"
#include "orbs_errors.h"

namespace {

const std::string kNotInitialised = "Not initialised";

}  // namespace

CSectionData::CSectionData(const char* name) {
    if (name != nullptr) mName = name;
}

const std::string& CSectionData::getName() const { return mName ? *mName : kNotInitialised; }

CSectionField* CSectionData::getField(int i) const {
    if (i < 0 || i >= getFieldsNbr()) return nullptr;
    return mFields[static_cast<std::size_t>(i)];
}

CSectionField* CSectionData::findField(const std::string& name) const {
    const auto it = std::find_if(mFields.begin(), mFields.end(),
                                 [&name](const CSectionField* field) { return field->getName() == name; });
    return it == mFields.end() ? nullptr : *it;
}

CSectionField& CSectionData::getField(const std::string& name) const {
    CSectionField* field = findField(name);
    if (field == nullptr) {
        print(true);
        NORBS_ERROR_MANAGER::raiseError(ORBS_EC_FIELD_NOT_FOUND, CORBS_SECTION_SOURCE, __LINE__, name);
    }
    return *field;
}

int CSectionData::addField(std::unique_ptr<CSectionField> field) {
    const int position = getFieldsNbr();
    CSectionField* owner = field.get();
    owner->setParentIndex(-1);
    mFields.push_back(owner);
    mOwnedFields.push_back(std::move(field));
    for (int i = 0; i < owner->getSubFieldsNbr(); ++i) {
        if (CSectionField* sub = owner->getSubField(i)) {
            sub->setParentIndex(position);
            mFields.push_back(sub);
        }
    }
    return position;
}

int CSectionData::getSetFieldsNbr() const {
    return static_cast<int>(std::count_if(mOwnedFields.begin(), mOwnedFields.end(),
                                          [](const auto& field) { return field->isInitField(false); }));
}

void CSectionData::clearAll() {
    for (auto& field : mOwnedFields) field->clearAll();
}
