#include "platform/keystore/KeyTree.h"

namespace Platform {

namespace {
char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(Fold(a[i]));
        auto cb = static_cast<unsigned char>(Fold(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

KeyNode *KeyNode::Find(const std::vector<std::string> &path)
{
    KeyNode *node = this;
    for (const auto &name : path) {
        auto it = node->subkeys.find(name);
        if (it == node->subkeys.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

KeyNode *KeyNode::FindOrCreate(const std::vector<std::string> &path, bool *created)
{
    KeyNode *node = this;
    bool made = false;
    for (const auto &name : path) {
        auto it = node->subkeys.find(name);
        if (it == node->subkeys.end()) {
            it = node->subkeys.emplace(name, std::make_unique<KeyNode>()).first;
            made = true;
        } else {
            made = false;
        }
        node = it->second.get();
    }
    if (created)
        *created = made;
    return node;
}

std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

}  // namespace Platform
