#pragma once
// The application's settings store: named values.
#include <memory>
#include <vector>

#include "base/Text.h"
#include "runtime/MessageTemplate.h"

class tZR_SetupEntry {
public:
    virtual ~tZR_SetupEntry() = default;
    const Text& Name() const { return fName; }
    void SetName(const Text& aValue) { fName = aValue; }
    const tZR_Value& Value() const { return fValue; }
    void SetValue(const tZR_Value& aValue) { fValue = aValue; }

private:
    Text fName;
    tZR_Value fValue;
};

// tZR_Setup: names (compared case-insensitively) with values, in the order they were first set.
class tZR_Setup {
public:
    tZR_Setup() = default;
    virtual ~tZR_Setup() = default;
    tZR_Setup(const tZR_Setup&) = delete;
    tZR_Setup& operator=(const tZR_Setup&) = delete;

    // SetValue with the empty value.
    void Define(const Text& aName);
    // A copy of the value, or the empty value when the name is unknown.
    tZR_Value GetValue(const Text& aName) const;
    void SetValue(const Text& aName, const tZR_Value& aValue);
    std::size_t Count() const { return fList.size(); }

private:
    tZR_SetupEntry* FindEntry(const Text& aName) const;
    std::vector<std::unique_ptr<tZR_SetupEntry>> fList;
};
