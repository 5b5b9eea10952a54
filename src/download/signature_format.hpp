#pragma once
// The release signature's texts: the public key as the build takes it, the ".sig" file beside each
// package, and what is signed. Pure text work, shared by the updater and the vendor's tools' format.
//
//   public key   base64 of X || Y (64 bytes, 88 characters)
//   .sig file    "om-sig-1 " + base64 of r || s (64 bytes, 88 characters), then an optional line end
//                ("\n" or "\r\n"); nothing else
//   signed       SHA-256 of "om-release-1\n" + the package's file name in lower case + "\n" + its bytes
#include "platform/signature_verifier.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace om {

inline constexpr std::string_view signature_tag = "om-sig-1 ";
// A .sig file is one short line: longer files are not read.
inline constexpr std::size_t signature_file_max_bytes = 256;

// Canonical base64 of exactly 64 bytes ("=" padded, unused bits zero); nullopt for anything else.
std::optional<std::array<std::uint8_t, 64>> decode_base64_64(std::string_view text);

std::optional<platform::PublicKey> read_public_key(std::string_view text);
std::optional<platform::Signature> read_signature_file(std::string_view text);

// What goes before the package's bytes: binds the signature to the file name, so that a package signed
// under one name is refused under another (an old release served as a new one, or one package for
// another). Letter case is left out, as Windows' file names leave it out.
std::vector<std::uint8_t> signed_prefix(std::string_view file_name);

} // namespace om
