// The key store's file image: a refused image leaves an empty tree; an
// accepted one holds only names the store could write, and encoding what
// was read is stable (the file's own order may differ from the tree's).
#include "platform/keystore/KeyStoreFormat.h"
#include "tools/fuzz/FuzzSupport.h"

namespace {

void CheckNames(const Platform::KeyNode &key)
{
    for (const auto &[name, value] : key.values)
        FUZZ_CHECK(Platform::KeyStoreNameAllowed(name));
    for (const auto &[name, child] : key.subkeys) {
        FUZZ_CHECK(!name.empty() && Platform::KeyStoreNameAllowed(name));
        CheckNames(*child);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> image(data, data + size);
    Platform::KeyNode root;
    root.values["left over"] = {};
    std::string error;
    if (!Platform::DecodeKeyStore(image, root, error)) {
        FUZZ_CHECK(root.values.empty() && root.subkeys.empty());
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    CheckNames(root);
    std::vector<uint8_t> once = Platform::EncodeKeyStore(root);
    Platform::KeyNode again;
    FUZZ_CHECK(Platform::DecodeKeyStore(once, again, error));
    FUZZ_CHECK(Platform::EncodeKeyStore(again) == once);
    return 0;
}
