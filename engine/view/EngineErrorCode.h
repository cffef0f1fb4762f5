#pragma once

// Result codes the engine raises with MapPoint::EngineError, as the original platform numbered them.
namespace EngineErrorCode {
constexpr int InvalidArgument = int(0x80070057);
constexpr int ObjectGone = int(0x80010108);
constexpr int Failed = int(0x80004005);
constexpr int ForeignObject = int(0x80004002);
} // namespace EngineErrorCode
