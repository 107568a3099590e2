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

// Finding the receiver by itself (Port=0), and losing it.
inline std::string Searching(int32_t port, uint32_t baud) {
    return "正在查找 GPS 设备：COM" + std::to_string(port) + " " + std::to_string(baud) + "…";
}
inline std::string Found(int32_t port, uint32_t baud) {
    return "已找到 GPS 设备：COM" + std::to_string(port) + " " + std::to_string(baud);
}
inline constexpr char kNothingFound[] = "未找到 GPS 设备";
inline constexpr char kReceiverLost[] = "GPS 设备已断开，正在重新连接…";
// The receiver speaks a talker that Config.ini does not list.
inline std::string OtherTalker(const std::string& talker) {
    return "收到 $" + talker + "RMC 语句：请在 Config.ini 的 [GPS] 中设置 Talkers=GP," + talker + "，然后双击卫星图标";
}

}  // namespace qv::gps_text
