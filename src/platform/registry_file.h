// The registry store's file format, apart from files, folders and locks: one root's keys and values as the
// registry editor's export text, read and written. The POSIX store adds the files and the locks.
//
// Thread contract: nothing shared; a Hive is used by one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::platform::registry_file {

// The registry's numbers for the value types this store tells apart.
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;

struct Value {
  std::string name;  // empty: the key's default value ("@")
  uint32_t type = 0;
  std::string data;  // UTF-8 text for strings, the raw bytes otherwise
};

struct Key {
  std::vector<std::string> names;  // the path below the root, as first spelled
  std::vector<Value> values;
};

// Keys by their case-folded paths: the order is a walk of the tree, parents first, as the editor writes.
using Hive = std::map<std::vector<std::string>, Key>;

bool HasLineBreak(std::string_view text);

// Splits a "\"-separated key path; outer separators are ignored. False, with `*error` set when not null,
// for an empty name inside or a line break.
bool SplitKeyPath(std::string_view path, std::vector<std::string>* names, std::string* error);

// Null when the key does not exist. Names match without regard to letter case.
Key* FindKey(Hive& hive, const std::vector<std::string>& names);
// Finds or creates the key and every key above it, as creating a key in the registry does.
Key& EnsureKey(Hive& hive, const std::vector<std::string>& names);
// Removes the key and every key below it; false when there was none.
bool EraseTree(Hive& hive, const std::vector<std::string>& names);
Value* FindValue(Key& key, std::string_view name);

// Replaces `*hive` with the keys of `text` under the root `root_name` (e.g. "HKEY_CURRENT_USER"). Keys of
// other roots, lines it cannot use and values with bad data are skipped, as the editor's import does;
// "[-key]" and "name"=- remove. A leading UTF-8 byte order mark and CR LF or LF line ends are accepted.
void ReadHive(std::string_view text, std::string_view root_name, Hive* hive);

// The export text of `hive`: the editor's version line, keys in tree order, CR LF line ends, long hex
// data wrapped at about 80 columns; texts that are not plain printable UTF-8 go out as UTF-16 hex.
std::string WriteHive(const Hive& hive, std::string_view root_name);

}  // namespace kvo::platform::registry_file
