#include "engine/Registry.h"

#include "common/zorvan/ByteStream.h"

#include <algorithm>

using Platform::KeyStore;
using Platform::ValueType;
using Zorvan::String;

namespace {

std::string Narrow(String const &text)
{
    return static_cast<char const *>(text);
}

} // namespace

Registry::Registry(HKEY root, String const &subkey, int create)
{
    if (!root)
        return;
    auto key = std::make_unique<RegistryKey>();
    key->store = root->store ? root->store : &KeyStore::User();
    key->path = root->path.empty() ? Narrow(subkey) : root->path + "/" + Narrow(subkey);
    switch (key->store->OpenKey(key->path, create != 0)) {
    case KeyStore::OpenResult::Failed:
        return;
    case KeyStore::OpenResult::Created:
        m_disposition = REG_CREATED_NEW_KEY;
        break;
    case KeyStore::OpenResult::Opened:
        m_disposition = create ? REG_OPENED_EXISTING_KEY : 0;
        break;
    }
    m_key = std::move(key);
}

Registry::~Registry() = default;

int Registry::Close()
{
    if (!m_key)
        return 0;
    m_key.reset();
    return 1;
}

KeyStore *Registry::Store() const
{
    return m_key ? m_key->store : nullptr;
}

std::string Registry::ChildPath(String const &name) const
{
    return m_key->path + "/" + Narrow(name);
}

uint32_t Registry::ReadDWORD(String const &name, uint32_t def)
{
    if (!m_key)
        return def;
    auto value = Store()->GetValue(m_key->path, Narrow(name));
    if (!value || value->type != ValueType::DWord || value->data.size() != 4)
        return def;
    return Zorvan::ByteReader(value->data).u32();
}

int Registry::WriteDWORD(String const &name, uint32_t value)
{
    if (!m_key)
        return 0;
    Zorvan::ByteWriter bytes;
    bytes.u32(value);
    return Store()->SetValue(m_key->path, Narrow(name), ValueType::DWord, bytes.bytes().data(), 4);
}

String Registry::ReadString(String const &name, String const &def)
{
    if (!m_key)
        return def;
    auto value = Store()->GetValue(m_key->path, Narrow(name));
    if (!value || value->type != ValueType::String)
        return def;
    if (value->data.empty())
        return String();
    return String(reinterpret_cast<char const *>(value->data.data()), int(value->data.size()));
}

int Registry::WriteString(String const &name, String const &value)
{
    if (!m_key)
        return 0;
    std::string text = Narrow(value);
    return Store()->SetValue(m_key->path, Narrow(name), ValueType::String, text.data(), text.size());
}

int Registry::WriteBinary(String const &name, uint8_t const *data, uint32_t size)
{
    if (!m_key || (size && !data))
        return 0;
    return Store()->SetValue(m_key->path, Narrow(name), ValueType::Binary, data, size);
}

int Registry::ReadBinary(String const &name, uint8_t *data, uint32_t *size)
{
    if (!m_key || !size)
        return 0;
    auto value = Store()->GetValue(m_key->path, Narrow(name));
    if (!value)
        return 0;
    uint32_t room = *size;
    *size = uint32_t(value->data.size());
    if (!data)
        return 1;
    if (value->data.size() > room)
        return 0;
    std::copy(value->data.begin(), value->data.end(), data);
    return 1;
}

int Registry::DeleteValue(String const &name)
{
    return m_key && Store()->DeleteValue(m_key->path, Narrow(name));
}

int Registry::ValueExists(String const &name)
{
    return m_key && Store()->GetValue(m_key->path, Narrow(name)).has_value();
}

int Registry::SubkeyExists(String const &name)
{
    return m_key && !name.IsEmpty() && Store()->KeyExists(ChildPath(name));
}

int Registry::DeleteSubkey(String const &name)
{
    return m_key && !name.IsEmpty() && Store()->DeleteKey(ChildPath(name));
}

int Registry::GetSubkey(String &name, int index)
{
    if (!m_key || index < 0)
        return 0;
    auto names = Store()->SubkeyNames(m_key->path);
    if (size_t(index) >= names.size())
        return 0;
    name = names[size_t(index)].c_str();
    return 1;
}

int Registry::GetFirstSubkey(String &name)
{
    m_enumIndex = 0;
    return GetNextSubkey(name);
}

int Registry::GetNextSubkey(String &name)
{
    if (!GetSubkey(name, m_enumIndex))
        return 0;
    ++m_enumIndex;
    return 1;
}

int Registry::GetFirstValue(String &name)
{
    m_enumIndex = 0;
    return GetNextValue(name);
}

int Registry::GetNextValue(String &name)
{
    if (!m_key || m_enumIndex < 0)
        return 0;
    auto names = Store()->ValueNames(m_key->path);
    if (size_t(m_enumIndex) >= names.size())
        return 0;
    name = names[size_t(m_enumIndex++)].c_str();
    return 1;
}

Registry::Batch::Batch(Registry &registry)
{
    if (KeyStore *store = registry.Store())
        m_batch = std::make_unique<KeyStore::Batch>(*store);
}

Registry::Batch::~Batch() = default;
