// CSectionDataGroup: non-raising reads and writes by key.
//
// Every access first checks, through the field's own probes, whatever would
// make the field-level call raise, so that nothing here ever raises: the
// reason of a failure is left in the set's error-code holder instead.
#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceInfo;

void CSectionDataGroup::recordFailure(int code, const std::string& key, int line) {
    set(code, CORBS_SECTION_SOURCE, key, line);
}

CSectionField* CSectionDataGroup::locateField(const std::string& key) {
    reset();
    CSectionField* field = findField(key);
    if (field == nullptr) {
        recordFailure(ORBS_EC_FIELD_NOT_FOUND, key, __LINE__);
        traceInfo("CSectionDataGroup Not found the field : %s\n", key.c_str());
        traceFileName();
    }
    return field;
}

CSectionField* CSectionDataGroup::admitRead(const std::string& key, int dataTypeId, CSectionField::Form form, int row, int col,
                                            bool* pulseDurationPastEnd) {
    CSectionField* field = locateField(key);
    if (field == nullptr) return nullptr;
    const int code = field->probeRead(dataTypeId, form, row, col);
    switch (code) {
    case 0:
        return field;
    case ORBS_EC_DATA_TYPE:
        traceInfo("CSectionDataGroup field name : %s\n", key.c_str());
        if (field->getDataTypeId() != dataTypeId) {
            traceInfo("CSectionDataGroup data type inconsistency : %s\n", key.c_str());
            traceInfo("data type inconsistency : %d\n", field->getDataTypeId());
            traceInfo("expected data type inconsistency : %d\n", dataTypeId);
        } else {
            traceInfo("CSectionDataGroup shape inconsistency : %d\n", field->getShape());
        }
        break;
    case ORBS_EC_FIELD_NOT_SET:
        traceInfo("CSectionDataGroup field not initialized : %s\n", key.c_str());
        break;
    case ORBS_EC_INDEX_OUT_OF_RANGE:
        if (form == CSectionField::Form::Indexed && dataTypeId == CORBS_DS_DOUBLE && col >= field->getColNbr() &&
            key.find("PulseDuration") != std::string::npos) {
            *pulseDurationPastEnd = true;
            return nullptr;
        }
        traceInfo("CSectionDataGroup field name : %s\n", key.c_str());
        if (form == CSectionField::Form::Matrix) {
            traceInfo("CSectionDataGroup index out of range %d , %d\n", row, col);
        } else {
            traceInfo("CSectionDataGroup index out of range %d\n", col);
        }
        break;
    default:  // a field without name holds no value
        break;
    }
    recordFailure(code, key, __LINE__);
    traceFileName();
    return nullptr;
}

bool CSectionDataGroup::finishRead(bool delivered, const std::string& key, bool* found) {
    if (!delivered && get_error_code() == 0) {
        recordFailure(ORBS_EC_VALUE_NOT_FOUND, key, __LINE__);
        traceFileName();
    }
    if (found != nullptr) *found = delivered;
    return delivered;
}

CSectionField* CSectionDataGroup::admitWrite(const std::string& key, int dataTypeId, int row, int col) {
    CSectionField* field = locateField(key);
    if (field == nullptr) return nullptr;
    const int code = field->probeWrite(dataTypeId, row, col);
    switch (code) {
    case 0:
        return field;
    case ORBS_EC_DATA_TYPE:
        traceInfo("CSectionDataGroup field name : %s\n", key.c_str());
        traceInfo("CSectionDataGroup data type inconsistency : %s\n", key.c_str());
        traceInfo("data type inconsistency : %d\n", field->getDataTypeId());
        traceInfo("expected data type inconsistency : %d\n", dataTypeId);
        break;
    case ORBS_EC_INDEX_OUT_OF_RANGE:
        traceInfo("CSectionDataGroup field name : %s\n", key.c_str());
        traceInfo("CSectionDataGroup index out of range %d , %d\n", row, col);
        break;
    default:  // ORBS_EC_NO_FLAG_TABLE
        traceInfo("CSectionDataGroup field not dimensioned : %s\n", key.c_str());
        break;
    }
    recordFailure(code, key, __LINE__);
    traceFileName();
    return nullptr;
}

// Reads.  A field getter called after a successful admission cannot raise:
// admission has ruled out every raising case.

double CSectionDataGroup::getDouble(const std::string& key, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_DOUBLE, CSectionField::Form::Scalar, 0, 0, nullptr);
    const double value = field ? field->getDouble(&ok) : NorvikCore::get_nan_double_val();
    return finishRead(ok, key, found) ? value : NorvikCore::get_nan_double_val();
}

double CSectionDataGroup::getDouble(const std::string& key, int i, bool* found) {
    bool ok = false;
    bool pulseDurationPastEnd = false;
    CSectionField* field = admitRead(key, CORBS_DS_DOUBLE, CSectionField::Form::Indexed, 0, i, &pulseDurationPastEnd);
    if (pulseDurationPastEnd) {
        if (found != nullptr) *found = true;
        return CORBS_PULSE_DURATION_PAST_END;
    }
    const double value = field ? field->getDouble(i, &ok) : NorvikCore::get_nan_double_val();
    return finishRead(ok, key, found) ? value : NorvikCore::get_nan_double_val();
}

double CSectionDataGroup::getDouble(const std::string& key, int row, int col, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_DOUBLE, CSectionField::Form::Matrix, row, col, nullptr);
    const double value = field ? field->getDouble(row, col, &ok) : NorvikCore::get_nan_double_val();
    return finishRead(ok, key, found) ? value : NorvikCore::get_nan_double_val();
}

int CSectionDataGroup::getInteger(const std::string& key, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_INTEGER, CSectionField::Form::Scalar, 0, 0, nullptr);
    const int value = field ? field->getInteger(&ok) : CORBS_MISSING_INT;
    return finishRead(ok, key, found) ? value : CORBS_MISSING_INT;
}

int CSectionDataGroup::getInteger(const std::string& key, int i, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_INTEGER, CSectionField::Form::Indexed, 0, i, nullptr);
    const int value = field ? field->getInteger(i, &ok) : CORBS_MISSING_INT;
    return finishRead(ok, key, found) ? value : CORBS_MISSING_INT;
}

int CSectionDataGroup::getInteger(const std::string& key, int row, int col, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_INTEGER, CSectionField::Form::Matrix, row, col, nullptr);
    const int value = field ? field->getInteger(row, col, &ok) : CORBS_MISSING_INT;
    return finishRead(ok, key, found) ? value : CORBS_MISSING_INT;
}

std::string CSectionDataGroup::getString(const std::string& key, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_STRING, CSectionField::Form::Scalar, 0, 0, nullptr);
    std::string value = field ? field->getString(&ok) : std::string();
    return finishRead(ok, key, found) ? value : std::string();
}

std::string CSectionDataGroup::getString(const std::string& key, int i, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_STRING, CSectionField::Form::Indexed, 0, i, nullptr);
    std::string value = field ? field->getString(i, &ok) : std::string();
    return finishRead(ok, key, found) ? value : std::string();
}

std::string CSectionDataGroup::getString(const std::string& key, int row, int col, bool* found) {
    bool ok = false;
    CSectionField* field = admitRead(key, CORBS_DS_STRING, CSectionField::Form::Matrix, row, col, nullptr);
    std::string value = field ? field->getString(row, col, &ok) : std::string();
    return finishRead(ok, key, found) ? value : std::string();
}

// Writes.

int CSectionDataGroup::setValue(const std::string& key, int value) { return setValue(key, 0, 0, value); }
int CSectionDataGroup::setValue(const std::string& key, int i, int value) { return setValue(key, 0, i, value); }

int CSectionDataGroup::setValue(const std::string& key, int row, int col, int value) {
    CSectionField* field = admitWrite(key, CORBS_DS_INTEGER, row, col);
    return field ? field->setValue(row, col, value) : 0;
}

int CSectionDataGroup::setValue(const std::string& key, double value) { return setValue(key, 0, 0, value); }
int CSectionDataGroup::setValue(const std::string& key, int i, double value) { return setValue(key, 0, i, value); }

int CSectionDataGroup::setValue(const std::string& key, int row, int col, double value) {
    CSectionField* field = admitWrite(key, CORBS_DS_DOUBLE, row, col);
    return field ? field->setValue(row, col, value) : 0;
}

int CSectionDataGroup::setValue(const std::string& key, const std::string& value) {
    return setValue(key, 0, 0, value);
}

int CSectionDataGroup::setValue(const std::string& key, int i, const std::string& value) {
    CSectionField* field = admitWrite(key, CORBS_DS_STRING, 0, i);
    // Through the indexed setter, which keeps the appended count.
    return field ? field->setValue(i, value) : 0;
}

int CSectionDataGroup::setValue(const std::string& key, int row, int col, const std::string& value) {
    CSectionField* field = admitWrite(key, CORBS_DS_STRING, row, col);
    return field ? field->setValue(row, col, value) : 0;
}
