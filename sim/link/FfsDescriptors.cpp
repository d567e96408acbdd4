#include "FfsDescriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <cstdint>

namespace tlxsim {

namespace {

void Le16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xff);
  s += static_cast<char>(v >> 8);
}

void Le32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
}

void Bytes(std::string& s, std::initializer_list<int> bytes) {
  for (int b : bytes) s += static_cast<char>(b);
}

// Interface, HID class descriptor and the two bulk endpoints at one speed.
std::string SpeedDescriptors(uint16_t maxPacket) {
  const uint16_t reportLength = static_cast<uint16_t>(HidReportDescriptor().size());
  std::string s;
  // Interface 0: class HID, no subclass (no boot device), no protocol.
  Bytes(s, {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 2, USB_CLASS_HID, 0, 0, 0});
  // HID 1.11, no country, one report descriptor.
  Bytes(s, {9, 0x21});
  Le16(s, 0x0111);
  Bytes(s, {0, 1, 0x22});
  Le16(s, reportLength);
  Bytes(s, {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, kGadgetEndpointIn, USB_ENDPOINT_XFER_BULK});
  Le16(s, maxPacket);
  Bytes(s, {0});
  Bytes(s, {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, kGadgetEndpointOut, USB_ENDPOINT_XFER_BULK});
  Le16(s, maxPacket);
  Bytes(s, {0});
  return s;
}

}  // namespace

std::string HidReportDescriptor() {
  std::string s;
  Bytes(s, {0x06, 0x00, 0xFF,  // usage page: vendor defined 0xFF00
            0x09, 0x01,        // usage 1
            0xA1, 0x01,        // collection: application
            0x15, 0x00,        //   logical minimum 0
            0x26, 0xFF, 0x00,  //   logical maximum 255
            0x75, 0x08,        //   report size: 8 bits
            0x96, 0x00, 0x04,  //   report count: 1024
            0x09, 0x01,        //   usage 1
            0x81, 0x02,        //   input (data, variable, absolute)
            0x96, 0x00, 0x04,  //   report count: 1024
            0x09, 0x01,        //   usage 1
            0x91, 0x02,        //   output (data, variable, absolute)
            0xC0});            // end collection
  return s;
}

std::string FfsDescriptors() {
  const std::string fs = SpeedDescriptors(64);
  const std::string hs = SpeedDescriptors(512);
  std::string body;
  Le32(body, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  Le32(body, 4);  // descriptors at full speed
  Le32(body, 4);  // and at high speed
  body += fs;
  body += hs;
  std::string s;
  Le32(s, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  Le32(s, static_cast<uint32_t>(8 + body.size()));
  return s + body;
}

std::string FfsStrings() {
  std::string s;
  Le32(s, FUNCTIONFS_STRINGS_MAGIC);
  Le32(s, sizeof(usb_functionfs_strings_head));
  Le32(s, 0);  // strings
  Le32(s, 0);  // languages
  return s;
}

}  // namespace tlxsim
