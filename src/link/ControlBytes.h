#pragma once

// Control bytes of the instrument link, in both directions: the message session's frames
// and the firmware writer's frames use the same ones.
namespace ctl {
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char EOT = 0x04;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char LF = 0x0A;
inline constexpr char CR = 0x0D;
inline constexpr char NAK = 0x15;
inline constexpr char ETB = 0x17;
}  // namespace ctl
