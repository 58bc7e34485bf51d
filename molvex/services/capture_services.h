// The small captures of an operation: the merchant cheque ("MRCH.SLP"),
// the signature, the host's message ("hmsg.d") and the cardholder's answer.
#pragma once

#include <cstddef>
#include <cstdint>

class DavizParams;

inline constexpr const char* kMerchantChequeFile = "MRCH.SLP";
inline constexpr const char* kHostMessageFile = "hmsg.d";
inline constexpr uint32_t kMaxMerchantCheque = 0xF800;  // 63,488
// A signature larger than this is not a signature: the begin step refuses it.
inline constexpr uint32_t kMaxSignatureSize = 1024 * 1024;
inline constexpr size_t kHostMessageRecord = 204;
inline constexpr size_t kHostMessageTextMax = 195;

enum SlvSignatureStep : uint8_t {
  kSignatureBegin = 1,
  kSignaturePiece = 3,
  kSignatureFinish = 4,
};

// One step of a signature capture; 0, 101 for an unknown step, or the result
// of the picture writer.
uint16_t slvSignatureMsb(uint8_t step, const uint8_t* body, uint32_t length);

// Writes "hmsg.d" in the current folder: the two numbers as 32-bit
// little-endian values and the text (at most 195 bytes), zero-filled to 204
// bytes. 0, or 251 when the file cannot be written.
uint16_t monSaveHostMessage(uint32_t number1, uint32_t number2, const char* text, size_t length);

// Closes and deletes the merchant cheque file.
void slvDropMerchantCheque();
// Length of a merchant cheque text, at most 63,488 (0 for none).
uint32_t slvGetMerchantChequeLength(const char* text);
// Length of the merchant cheque text the operation carries, at most 63,488.
uint32_t slvGetMerchantChequeLength(const DavizParams& params);
