#pragma once
// The receiver's texts on the panel, exactly as users see them.
#include <cstdint>
#include <string>

namespace qv::gps_text {

inline constexpr char kStateInitial[] = "请双击右下脚“卫星”图标，连接GPS设备";
inline constexpr char kTipNoReceiver[] = "修改Config.ini , 双击重新连接GPS设备";
inline constexpr char kTipWeakSignal[] = "GPS 信号弱 , 双击“冷启动” GPS";
inline constexpr char kTipReceiverOk[] = "GPS 设备正常";

inline std::string Connecting(int32_t port) { return "连接 GPS 设备在串口 [" + std::to_string(port) + "] ..."; }
inline std::string NotFound(int32_t port) { return "未找到 GPS 设备在串口 [" + std::to_string(port) + "] !"; }

}  // namespace qv::gps_text
