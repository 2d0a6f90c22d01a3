// Icon files (.ico) and the icon resources of an executable.
//
// An .ico file is a 6-byte header (0, type 1, image count), one 16-byte entry per image (width,
// height, colour count, reserved, planes, bits per pixel, byte count, file offset; a width or
// height of 0 means 256) and the images: each a device-independent bitmap (its info header, colour
// table, colour pixels and the 1-bit mask, twice the height tall together) or a PNG file. In an
// executable every image is an RT_ICON resource, and an RT_GROUP_ICON resource lists them with the
// same header and 14-byte entries whose last field is the RT_ICON resource's number instead of the
// file offset.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kez/resource_tree.h"

struct IconImage {
  uint8_t width, height, colors, reserved;  // as in the file's entry
  uint16_t planes, bit_count;
  std::vector<uint8_t> data;
};

constexpr uint32_t kIconMaximumImages = 256;

// Reads and checks an .ico file: the header, every entry, and every image (a bitmap's header,
// sizes and pixel bytes, a PNG's signature and size) against its entry. Returns 0, or 13
// (ERROR_INVALID_DATA) with *why saying what is wrong ("image 2 of 3 ends beyond the file").
uint32_t IconFileRead(const std::vector<uint8_t>& file, std::vector<IconImage>* images, std::string* why);

// Replaces the executable's main icon group — the first RT_GROUP_ICON in directory order, which
// the shell shows for the file — by `images`: every language of that group goes, with the RT_ICON
// resources that no other group lists; the images become new RT_ICON resources with the lowest
// free numbers and a group of the same name (1 when there was none) in the first removed group's
// language (neutral when there was none).
void IconReplaceMainGroup(std::vector<Resource>* resources, const std::vector<IconImage>& images);

// The sizes (width × height, 256 for 0) that a group resource lists, in its order; empty for data
// that is no group.
std::vector<std::pair<uint32_t, uint32_t>> IconGroupSizes(const std::vector<uint8_t>& group);
