// The value-added-services block of an answer (tag 0x5F10) as the XML file
// "vas.xml" that the POS picks up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The block as an indented XML document (no declaration).
std::string ConvertVasToXml(const uint8_t* block, size_t len);

// Converts the block into the process-wide text and writes it to "vas.xml" in
// the current folder; the text is released right after. False when the file
// cannot be written (the operation's result does not depend on it).
bool WriteVasXmlFile(const uint8_t* block, size_t len);
// Deletes "vas.xml" from the current folder.
void ClearVasXmlFile();
// Releases the process-wide text, if a conversion left one.
void ClearVasData();
