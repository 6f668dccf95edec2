// CSectionField: construction, dimensioning, state and writes.
#include <algorithm>

#include "orbs_description_section.h"
#include "orbs_errors.h"

using NORBS_ERROR_MANAGER::raiseError;
using NORBS_ERROR_MANAGER::traceDebug;
using NORBS_ERROR_MANAGER::traceInfo;

namespace {

const std::string kNotInitialised = "Not initialised";

template <class T>
bool isSet(const CSectionCells<T>& cells, int row, int col) {
    const auto* cell = cells.find(row, col);
    return cell != nullptr && cell->set;
}

}  // namespace

CSectionField::CSectionField(const char* name, int shape, int dataTypeId, int parentIndex, int subFieldsNbr)
    : mParentIndex(parentIndex), mShape(shape), mDataTypeId(dataTypeId) {
    if (name != nullptr) mName = name;
    if (mShape == CORBS_DS_SCALAR) {
        setDimension(1, 1, true);
    } else if (mShape == CORBS_DS_MULTIPLE) {
        // A MULTIPLE has no tables of its own: its "elements" are the slots
        // of its sub-fields, one per column.
        const int slots = std::max(subFieldsNbr, 0);
        mSubFields.resize(static_cast<std::size_t>(slots));
        mRowNbr = 1;
        mColNbr = slots;
    }
}

CSectionField::~CSectionField() = default;

std::unique_ptr<CSectionField> CSectionField::createMultiple(const std::string& name, int subFieldShape,
                                                             int dataTypeId,
                                                             const std::vector<std::string>& subFieldNames) {
    const int count = static_cast<int>(subFieldNames.size());
    auto owner = std::make_unique<CSectionField>(name, CORBS_DS_MULTIPLE, CORBS_DS_SUB_FIELD, -1, count);
    for (int i = 0; i < count; ++i) {
        owner->setSubField(i, std::make_unique<CSectionField>(subFieldNames[static_cast<std::size_t>(i)],
                                                              subFieldShape, dataTypeId));
    }
    return owner;
}

int CSectionField::setSubField(int i, std::unique_ptr<CSectionField> subField) {
    if (mShape != CORBS_DS_MULTIPLE || i < 0 || i >= static_cast<int>(mSubFields.size())) return 0;
    mSubFields[static_cast<std::size_t>(i)] = std::move(subField);
    return 1;
}

const std::string& CSectionField::getName() const { return mName ? *mName : kNotInitialised; }

int CSectionField::getElementsNbr() const {
    if (mShape != CORBS_DS_MULTIPLE) return mColNbr;
    if (mSubFields.empty() || !mSubFields.front()) return 0;
    return mSubFields.front()->getColNbr();
}

int CSectionField::getSubFieldsNbr() const { return mShape == CORBS_DS_MULTIPLE ? mColNbr : 0; }

CSectionField* CSectionField::getSubField(int i) const {
    if (mShape != CORBS_DS_MULTIPLE || i < 0 || i >= static_cast<int>(mSubFields.size())) return nullptr;
    return mSubFields[static_cast<std::size_t>(i)].get();
}

bool CSectionField::isElementSet(int row, int col) const {
    if (!mHasTables || row < 0 || col < 0 || row >= mRowNbr || col >= mColNbr) return false;
    switch (mDataTypeId) {
    case CORBS_DS_INTEGER: return isSet(mIntegers, row, col);
    case CORBS_DS_DOUBLE: return isSet(mDoubles, row, col);
    case CORBS_DS_STRING: return isSet(mStrings, row, col);
    default: return false;
    }
}

int32_t CSectionField::integerAt(int row, int col) const {
    const auto* cell = mIntegers.find(row, col);
    return cell ? cell->value : 0;
}

double CSectionField::doubleAt(int row, int col) const {
    const auto* cell = mDoubles.find(row, col);
    return cell ? cell->value : 0.0;
}

const std::string& CSectionField::stringAt(int row, int col) const {
    static const std::string kNone;
    const auto* cell = mStrings.find(row, col);
    return cell ? cell->value : kNone;
}

void CSectionField::clearTables() {
    mIntegers.clear();
    mDoubles.clear();
    mStrings.clear();
}

bool CSectionField::isInitField(bool raiseOnMisuse) const {
    if (mShape == CORBS_DS_MULTIPLE) {
        if (mSubFields.empty() || !mSubFields.front()) return false;
        const int subShape = mSubFields.front()->getShape();
        if (subShape == CORBS_DS_SCALAR) {
            return std::all_of(mSubFields.begin(), mSubFields.end(),
                               [](const auto& sub) { return sub && sub->isElementSet(0, 0); });
        }
        if (subShape == CORBS_DS_VECTOR) {
            return std::all_of(mSubFields.begin(), mSubFields.end(), [raiseOnMisuse](const auto& sub) {
                return sub && sub->isInitField(raiseOnMisuse);
            });
        }
        return true;
    }
    if (mRowNbr < 1 || mColNbr < 1) return false;
    // A dimensioned vector or matrix counts as holding a value.
    if (mShape == CORBS_DS_VECTOR || mShape == CORBS_DS_MATRIX) return true;
    if (mShape != CORBS_DS_SCALAR) {
        if (raiseOnMisuse) raise(ORBS_EC_DATA_TYPE, __LINE__);
        return false;
    }
    if (!mHasTables) raise(ORBS_EC_FLAG_TABLE_MISSING, __LINE__);
    return isElementSet(0, 0);
}

int CSectionField::setDimension(int rows, int cols, bool force) {
    if (!force && mShape != CORBS_DS_VECTOR && mShape != CORBS_DS_MATRIX) return 0;
    if (mDataTypeId < CORBS_DS_INTEGER || mDataTypeId > CORBS_DS_STRING) {
        traceDebug("mDataTypeId : %d\n", mDataTypeId);
        raise(ORBS_EC_DATA_TYPE, __LINE__);
    }
    mRowNbr = std::max(rows, 0);
    mColNbr = std::max(cols, 0);
    // Old values go with the old tables; elements take memory as they are
    // written.
    clearTables();
    mHasTables = true;
    return 1;
}

int CSectionField::clearValue() { return clearValue(0, 0); }
int CSectionField::clearValue(int i) { return clearValue(0, i); }

int CSectionField::clearValue(int row, int col) {
    if (!mHasTables || row < 0 || col < 0 || row >= mRowNbr || col >= mColNbr) return 0;
    switch (mDataTypeId) {
    case CORBS_DS_INTEGER:
        if (mIntegers.find(row, col)) mIntegers.at(row, col) = {};
        break;
    case CORBS_DS_DOUBLE:
        if (mDoubles.find(row, col)) mDoubles.at(row, col) = {};
        break;
    case CORBS_DS_STRING:
        if (mStrings.find(row, col)) mStrings.at(row, col) = {};
        break;
    default: break;
    }
    return 1;
}

void CSectionField::clearAll() {
    mAppendedNbr = 0;
    switch (mShape) {
    case CORBS_DS_SCALAR:
        setDimension(1, 1, true);
        break;
    case CORBS_DS_MULTIPLE:
        for (auto& sub : mSubFields) {
            if (sub) sub->clearAll();
        }
        break;
    default:
        mHasTables = false;
        mRowNbr = 0;
        mColNbr = 0;
        clearTables();
        break;
    }
}

void CSectionField::raise(int code, int line) const {
    print();
    raiseError(code, CORBS_SECTION_SOURCE, line, getName());
}

int CSectionField::probeWrite(int dataTypeId, int row, int col) const {
    if (!mName || !mHasTables) return ORBS_EC_NO_FLAG_TABLE;
    if (mDataTypeId != dataTypeId) return ORBS_EC_DATA_TYPE;
    if (row < 0 || col < 0 || row >= mRowNbr || col >= mColNbr) return ORBS_EC_INDEX_OUT_OF_RANGE;
    return 0;
}

int CSectionField::admitWrite(int dataTypeId, int row, int col) const {
    switch (probeWrite(dataTypeId, row, col)) {
    case 0:
        return 1;
    case ORBS_EC_DATA_TYPE:
        raise(ORBS_EC_DATA_TYPE, __LINE__);
    case ORBS_EC_INDEX_OUT_OF_RANGE:
        traceInfo("mRowNbr = %d theRow = %d\n", mRowNbr, row);
        traceInfo("mColNbr = %d theCol = %d\n", mColNbr, col);
        raise(ORBS_EC_INDEX_OUT_OF_RANGE, __LINE__);
    default:
        return 0;
    }
}

int CSectionField::setValue(const std::string& text) { return setValue(0, 0, text); }

int CSectionField::setValue(int i, const std::string& text) {
    if (!setValue(0, i, text)) return 0;
    mAppendedNbr = std::max(mAppendedNbr, i + 1);
    return 1;
}

int CSectionField::setValue(int row, int col, const std::string& text) {
    if (!admitWrite(CORBS_DS_STRING, row, col)) return 0;
    auto& cell = mStrings.at(row, col);
    if (text.find(CORBS_EMPTY_TEXT_MARK) != std::string::npos)
        cell.value.clear();
    else
        cell.value = text;
    cell.set = true;
    return 1;
}

int CSectionField::setValue(int value) { return setValue(0, 0, value); }
int CSectionField::setValue(int i, int value) { return setValue(0, i, value); }

int CSectionField::setValue(int row, int col, int value) {
    if (!admitWrite(CORBS_DS_INTEGER, row, col)) return 0;
    mIntegers.at(row, col) = {value, true};
    return 1;
}

int CSectionField::setValue(double value) { return setValue(0, 0, value); }
int CSectionField::setValue(int i, double value) { return setValue(0, i, value); }

int CSectionField::setValue(int row, int col, double value) {
    if (!admitWrite(CORBS_DS_DOUBLE, row, col)) return 0;
    mDoubles.at(row, col) = {value, true};
    return 1;
}
