// tlx-sim's command line: what each option sets, and what is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Options.h"

using tlxsim::ProgramOptions;

namespace {

bool Parse(std::vector<std::string> args, ProgramOptions* out, std::string* error) {
  args.insert(args.begin(), "tlx-sim");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return tlxsim::ParseOptions(static_cast<int>(argv.size()), argv.data(), out, error);
}

TEST(ProgramOptionsTest, DefaultsServeBothLinksWithThePleasantCustomer) {
  ProgramOptions o;
  std::string error;
  ASSERT_TRUE(Parse({}, &o, &error)) << error;
  EXPECT_EQ("R40", o.terminal.model);
  EXPECT_EQ(std::vector<int>{1}, o.terminal.serialPorts);
  EXPECT_EQ(0x2FB0, o.terminal.vendorId);
  EXPECT_EQ(0x0101, o.terminal.productId);
  EXPECT_TRUE(o.terminal.serial);
  EXPECT_TRUE(o.terminal.hid);
  EXPECT_TRUE(o.customer.info.answers);
  EXPECT_EQ("B0F", o.customer.info.value);
  EXPECT_FALSE(o.terminal.pace);
  if (std::getenv("TLX_SIM_USB") == nullptr) {
    EXPECT_EQ(tlxsim::UsbFace::StandIn, o.terminal.usbFace);
  }
}

TEST(ProgramOptionsTest, EveryOptionSetsItsValue) {
  ProgramOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--model",
                     "k60",
                     "--storage",
                     "/srv/t",
                     "--serial-ports",
                     "2,5",
                     "--usb-id",
                     "0483:5750",
                     "--no-usb",
                     "--env-file",
                     "/run/e",
                     "--info-answer",
                     "B1F",
                     "--info-delay",
                     "500",
                     "--no-answer",
                     "evaluator",
                     "--pin-answer",
                     "9876",
                     "--sign-delay",
                     "0",
                     "--phone-answer",
                     "110",
                     "--amount-delay",
                     "20",
                     "--pace"},
                    &o, &error))
      << error;
  EXPECT_EQ("k60", o.terminal.model);
  EXPECT_EQ("/srv/t", o.terminal.storageDir);
  EXPECT_EQ((std::vector<int>{2, 5}), o.terminal.serialPorts);
  EXPECT_EQ(0x0483, o.terminal.vendorId);
  EXPECT_EQ(0x5750, o.terminal.productId);
  EXPECT_FALSE(o.terminal.hid);
  EXPECT_EQ("/run/e", o.envFile);
  EXPECT_EQ("B1F", o.customer.info.value);
  EXPECT_EQ(500, o.customer.info.delayMs);
  EXPECT_FALSE(o.customer.evaluator.answers);
  EXPECT_EQ("9876", o.customer.pin.value);
  EXPECT_EQ(0, o.customer.sign.delayMs);
  EXPECT_EQ("110", o.customer.keypadPhone.value);
  EXPECT_EQ(20, o.customer.keypadAmount.delayMs);
  EXPECT_TRUE(o.terminal.pace);
}

TEST(ProgramOptionsTest, GadgetOptions) {
  ProgramOptions plain;
  std::string error;
  ASSERT_TRUE(Parse({}, &plain, &error)) << error;
  EXPECT_EQ(tlxsim::AnswerShape::Padded, plain.terminal.gadget.shape);
  EXPECT_EQ(200, plain.terminal.gadget.replugMs);
  EXPECT_TRUE(plain.terminal.gadget.udc.empty());

  ProgramOptions o;
  ASSERT_TRUE(Parse({"--gadget", "--udc", "musb-hdrc.0", "--answer-shape", "packet", "--replug-ms",
                     "-1", "--no-serial"},
                    &o, &error))
      << error;
  EXPECT_EQ(tlxsim::UsbFace::Gadget, o.terminal.usbFace);
  EXPECT_EQ("musb-hdrc.0", o.terminal.gadget.udc);
  EXPECT_EQ(tlxsim::AnswerShape::Packet, o.terminal.gadget.shape);
  EXPECT_EQ(-1, o.terminal.gadget.replugMs);
  EXPECT_FALSE(o.terminal.serial);
  // Naming a controller alone is enough to ask for the gadget.
  ProgramOptions named;
  ASSERT_TRUE(Parse({"--udc", "dummy_udc.1"}, &named, &error)) << error;
  EXPECT_EQ(tlxsim::UsbFace::Gadget, named.terminal.usbFace);
}

TEST(ProgramOptionsTest, BadValuesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--model", "R41"},          {"--model"},
      {"--serial-ports", "0"},     {"--serial-ports", "1,,2"},
      {"--serial-ports", "x"},     {"--usb-id", "10000:1"},
      {"--usb-id", "2fb0"},        {"--info-delay", "-1"},
      {"--info-delay", "5s"},      {"--no-answer", "weather"},
      {"--weather-answer", "sun"}, {"--frobnicate"},
      {"--no-serial", "--no-usb"}, {"--answer-shape", "long"},
      {"--answer-shape"},          {"--udc"},
      {"--replug-ms", "-2"},       {"--gadget", "--no-usb"},
      {"--gadget", "--pace"},
  };
  for (const auto& args : bad) {
    ProgramOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, &o, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

}  // namespace
