// Trace dumps of fields, sections and sets.
#include <cstdio>

#include "orbs_description_section.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

using NORBS_ERROR_MANAGER::traceInfo;

namespace {

const char* shapeName(int shape) {
    switch (shape) {
    case CORBS_DS_SCALAR: return "SCALAR";
    case CORBS_DS_VECTOR: return "VECTOR";
    case CORBS_DS_MATRIX: return "MARTIX";
    case CORBS_DS_MULTIPLE: return "MULTIPLE";
    default: return "WRONG";
    }
}

const char* typeName(int dataTypeId) {
    switch (dataTypeId) {
    case CORBS_DS_INTEGER: return "Integer";
    case CORBS_DS_DOUBLE: return "Double";
    case CORBS_DS_STRING: return "String";
    case CORBS_DS_SUB_FIELD: return "Field Of Section pointer";
    default: return "WRONG";
    }
}

// Whether the field holds a value, without the raises of isInitField: a
// dump must never fail, it runs just before a raise.
bool holdsValue(const CSectionField& field) {
    const int shape = field.getShape();
    if (shape == CORBS_DS_SCALAR) return field.isElementSet(0, 0);
    if (shape == CORBS_DS_VECTOR || shape == CORBS_DS_MATRIX || shape == CORBS_DS_MULTIPLE) {
        return field.isInitField(false);
    }
    return false;
}

}  // namespace

void CSectionField::print() const {
    if (!mName) return;
    std::string line = "[" + *mName + "]  [" + shapeName(mShape) + "]  [" + typeName(mDataTypeId) + "]";
    if (!holdsValue(*this)) {
        traceInfo("%s : EMPTY\n", line.c_str());
        return;
    }
    char number[64];
    if (mShape == CORBS_DS_MATRIX) {
        std::snprintf(number, sizeof number, "  [Row Nbr : %d]  [Col Nbr : %d]", mRowNbr, mColNbr);
        line += number;
    } else if (mShape == CORBS_DS_MULTIPLE) {
        std::snprintf(number, sizeof number, "  [Number of sub fiels : %d]", mColNbr);
        line += number;
    } else if (mShape == CORBS_DS_VECTOR) {
        std::snprintf(number, sizeof number, "  [Number of elements : %d]", mColNbr);
        line += number;
    }
    const bool hasFirst = mHasTables && mRowNbr > 0 && mColNbr > 0;
    if (hasFirst && mDataTypeId == CORBS_DS_DOUBLE) {
        std::snprintf(number, sizeof number, "  =  %.18g", doubleAt(0, 0));
        line += number;
    } else if (hasFirst && mDataTypeId == CORBS_DS_STRING) {
        line += "  =  [" + stringAt(0, 0) + "]";
    } else if (hasFirst && mDataTypeId == CORBS_DS_INTEGER) {
        std::snprintf(number, sizeof number, "  =  %ld", static_cast<long>(integerAt(0, 0)));
        line += number;
    } else {
        line += " : ERROR";
    }
    traceInfo("%s\n", line.c_str());
}

void CSectionData::print(bool allFields) const {
    traceInfo("\n\n << [%s]  -  Total number of Fields : %d >>\n\n", getName().c_str(), getFieldsNbr());
    for (const CSectionField* field : mFields) {
        if (allFields || holdsValue(*field)) field->print();
    }
}

void CSectionDataGroup::print(bool allFields, int minimumTraceLevel) const {
    if (NorvikCore::get_trace_level() < minimumTraceLevel) return;
    if (mFileName) traceInfo("\n\n << PARAMETER FILE : %s >>", mFileName->c_str());
    traceInfo("\n\n << Total number of Sections in Section Group : %d >>", mSectionDataNbr);
    for (const auto& section : mSectionData) section->print(allFields);
    traceInfo("\n\n");
}
