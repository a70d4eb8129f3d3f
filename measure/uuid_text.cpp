#include "measure/uuid_text.h"

#include <windows.h>
#include <rpc.h>

#include <cstring>

UuidBytes CreateUuid() {
    UUID uuid{};
    UuidCreate(&uuid); // status ignored: a local-only UUID serves as well
    UuidBytes bytes{};
    std::memcpy(bytes.data(), &uuid, sizeof uuid);
    return bytes;
}

std::wstring GetUuidString(const UuidBytes& bytes) {
    UUID uuid;
    std::memcpy(&uuid, bytes.data(), sizeof uuid);
    RPC_WSTR text = nullptr;
    if (UuidToStringW(&uuid, &text) != RPC_S_OK || text == nullptr)
        return {};
    std::wstring result(reinterpret_cast<const wchar_t*>(text));
    RpcStringFreeW(&text);
    return result;
}
