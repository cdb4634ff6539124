// The registry as a tree in memory: keys with values and subkeys.
//
// Names are bytes in the process's narrow character set (UTF-8 here). They
// keep the case they were created with and compare the way the registry
// compares them: each UTF-16 unit upper-cased, then unit by unit. That same
// comparison orders subkeys, which is why '_' sorts after the letters.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace regfile {

// A name reduced to the form in which names compare.
using NameKey = std::u16string;
NameKey FoldName(const std::string& name);
bool SameName(const std::string& a, const std::string& b);

// UTF-8 to UTF-16 and back. Bytes that are not UTF-8 are taken as the
// Latin-1 characters of the same number; unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// Length in UTF-16 units, as the registry measures names.
std::size_t Utf16Length(const std::string& text);

struct Value {
    std::string name;
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

// Values are found through an index by name, so that a key with many of
// them fills in time proportional to their number; a tree is taken apart
// without recursion, so that no depth of nesting exhausts the stack.
struct Key {
    Key() = default;
    ~Key();
    Key(Key&&) = default;
    Key& operator=(Key&& other);
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    std::string name;
    std::map<NameKey, std::unique_ptr<Key>> subkeys;

    Key* FindSubkey(const std::string& subName) const;
    // The existing subkey of that name, or a new one named as given.
    Key* AddSubkey(const std::string& subName, bool* created = nullptr);
    bool RemoveSubkey(const std::string& subName);

    // In the order they were first written.
    const std::list<Value>& Values() const { return values_; }
    Value* FindValue(const std::string& valueName);
    // Sets type and data; false when the value already held exactly these.
    bool SetValue(const std::string& valueName, std::uint32_t type, const unsigned char* data,
                  std::size_t size);
    bool RemoveValue(const std::string& valueName);

private:
    std::list<Value> values_;
    std::map<NameKey, std::list<Value>::iterator> index_;
};

// Takes the subtrees out of `subkeys` and frees them one key at a time.
void DestroySubtrees(std::map<NameKey, std::unique_ptr<Key>>* subkeys);

// The top of the stored tree: one subkey per hive ("HKEY_CURRENT_USER", ...).
constexpr const char* kCurrentUserHive = "HKEY_CURRENT_USER";

}  // namespace regfile
