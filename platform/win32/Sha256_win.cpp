#include "platform/Sha256.h"

#include "platform/win32/WinApi.h"

#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemModule.h"

namespace platform {
namespace {

// CNG's functions, from bcrypt.dll of the system folder.
struct Bcrypt {
    HMODULE module = LoadSystemModuleForGood(L"bcrypt.dll");
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider =
        FunctionOf<decltype(openAlgorithmProvider)>(module, "BCryptOpenAlgorithmProvider");
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithmProvider =
        FunctionOf<decltype(closeAlgorithmProvider)>(module, "BCryptCloseAlgorithmProvider");
    decltype(&BCryptCreateHash) createHash =
        FunctionOf<decltype(createHash)>(module, "BCryptCreateHash");
    decltype(&BCryptHashData) hashData = FunctionOf<decltype(hashData)>(module, "BCryptHashData");
    decltype(&BCryptFinishHash) finishHash =
        FunctionOf<decltype(finishHash)>(module, "BCryptFinishHash");
    decltype(&BCryptDestroyHash) destroyHash =
        FunctionOf<decltype(destroyHash)>(module, "BCryptDestroyHash");

    bool Complete() const {
        return openAlgorithmProvider && closeAlgorithmProvider && createHash && hashData &&
               finishHash && destroyHash;
    }
};

// Loaded as the program starts, before any thread turns the WOW64
// redirection off (Wow64View), with which the 32-bit build would find only
// the 64-bit DLL.
const Bcrypt bcrypt;

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { bcrypt.closeAlgorithmProvider(h, 0); }
};

struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Empty() { return nullptr; }
    static bool Holds(Type h) { return h != nullptr; }
    static void Close(Type h) { bcrypt.destroyHash(h); }
};

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

struct Sha256::State {
    // Destroyed in reverse order: the hash before the provider it came from.
    ScopedWin<AlgorithmTraits> algorithm;
    ScopedWin<HashTraits> hash;
    bool failed = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!bcrypt.Complete())
        throw std::runtime_error("The system offers no SHA-256 (bcrypt.dll)");
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(bcrypt.openAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        throw std::runtime_error("The system offers no SHA-256 (BCryptOpenAlgorithmProvider)");
    state_->algorithm.Reset(algorithm);
    // With no object buffer given, the system keeps the hash's state itself
    // (Windows 7 and later).
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!Succeeded(bcrypt.createHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("The system offers no SHA-256 (BCryptCreateHash)");
    state_->hash.Reset(hash);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::byte> bytes) {
    // BCryptHashData takes at most 4 GiB less one byte a call.
    while (!bytes.empty() && !state_->failed) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), std::size_t{1} << 30);
        auto* data = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(bytes.data()));
        state_->failed = !Succeeded(bcrypt.hashData(state_->hash.Get(), data, ULONG(piece), 0));
        bytes = bytes.subspan(piece);
    }
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    // A failure leaves the digest all zero, which matches no package file.
    if (!state_->failed)
        bcrypt.finishHash(state_->hash.Get(), digest.data(), ULONG(digest.size()), 0);
    state_->hash.Reset();
    return digest;
}

}  // namespace platform
