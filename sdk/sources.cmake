# The sources of libtlxdev, by folder, relative to sdk/: TLX_SDK_SOURCES for
# the library itself and TLX_CODEC_SOURCES for tlx_codec, the codec it
# shares with tlxctl. Included by sdk/CMakeLists.txt and by the fuzz build.
set(TLX_SDK_SOURCES
  commands/device_control.cpp
  commands/interaction.cpp
  commands/media.cpp
  commands/pinpad.cpp
  commands/reply_checks.cpp
  commands/result_codes.cpp
  core/exchange.cpp
  port/serial_port.cpp
  port/usb_port.cpp
  transfer/download.cpp
  transfer/hid_download.cpp
  transfer/packet.cpp
  transfer/pull.cpp
  transfer/serial_download.cpp
  util/file_io.cpp
  util/file_names.cpp
  util/gbk_tables.cpp
  util/hex_text.cpp
  util/hexasc1.cpp
  util/private_file.cpp
  util/text.cpp)

# ---- Trace sources --------------------------------------------------------
# The trace writer; the codec it writes with is tlx_codec.
list(APPEND TLX_SDK_SOURCES
  trace/trace.cpp
  trace/wire_trace.cpp)

# ---- Legacy exports -------------------------------------------------------
list(APPEND TLX_SDK_SOURCES
  compat/cdevice.cpp
  compat/commands.cpp
  compat/session.cpp
  compat/trace.cpp
  compat/transfer.cpp
  compat/util.cpp)

# ---- The codec (tlx_codec) ------------------------------------------------
set(TLX_CODEC_SOURCES
  trace/command_table.cpp
  trace/wire_mask.cpp
  trace/trace_lines.cpp
  trace/trace_reader.cpp
  util/gbk_text.cpp)
