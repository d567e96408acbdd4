// What the terminal's USB function writes to FunctionFS's ep0 before it can
// be bound: the descriptor blob (full and high speed: interface 0 of class
// HID with its HID class descriptor, bulk IN 0x81 and bulk OUT 0x02) and the
// string blob, and the HID report descriptor the host may ask for on ep0.
#ifndef TLXSIM_FFSDESCRIPTORS_H
#define TLXSIM_FFSDESCRIPTORS_H

#include <string>

namespace tlxsim {

constexpr unsigned char kGadgetEndpointIn = 0x81;
constexpr unsigned char kGadgetEndpointOut = 0x02;

// Vendor-defined HID report descriptor: one 1024-byte input and one
// 1024-byte output report.
std::string HidReportDescriptor();

// FunctionFS descriptors (v2 header, full and high speed).
std::string FfsDescriptors();

// FunctionFS strings: no strings of the function's own (English only).
std::string FfsStrings();

}  // namespace tlxsim

#endif
