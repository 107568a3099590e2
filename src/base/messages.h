#pragma once
// Every text the program shows its user, exactly as shown: the one table of
// them. "{1}" and "{2}" stand for what is filled in (a port, a path…). The
// user guide names each of these; a check reads this file to make sure.
#include <string>
#include <string_view>

namespace qv::text {

// The status line (txtState).
inline constexpr char kStateInitial[] = "请双击右下脚“卫星”图标，连接GPS设备";
inline constexpr char kConnecting[] = "连接 GPS 设备在串口 [{1}] ...";
inline constexpr char kNotFound[] = "未找到 GPS 设备在串口 [{1}] !";
inline constexpr char kBadPort[] = "Config.ini 中的 Port={1} 不是可用的串口号（1 到 255；0 为自动查找）";
inline constexpr char kBadSetting[] = "Config.ini 中的 Setting={1} 不是可用的串口设置（例如 4800,n,8,1）";
inline constexpr char kSearching[] = "正在查找 GPS 设备：COM{1} {2}…";
inline constexpr char kFound[] = "已找到 GPS 设备：COM{1} {2}";
inline constexpr char kNothingFound[] = "未找到 GPS 设备";
inline constexpr char kReceiverLost[] = "GPS 设备已断开，正在重新连接…";
inline constexpr char kOtherTalker[] = "收到 ${1}RMC 语句：请在 Config.ini 的 [GPS] 中设置 Talkers=GP,{1}，然后双击卫星图标";
inline constexpr char kEarthWaiting[] = "正在等待 Google Earth 启动…";
inline constexpr char kEarthReconnecting[] = "Google Earth 已断开，正在重新连接…";
inline constexpr char kEarthHung[] = "Google Earth 没有响应，正在等待…";
inline constexpr char kRecovered[] = "已恢复上次未保存的轨迹：{1}";
inline constexpr char kSavedElsewhere[] = "轨迹无法保存到程序目录，已保存到：{1}";
inline constexpr char kRecoveryUnwritable[] = "轨迹恢复文件无法写入：{1}";
inline constexpr char kMapInBrowser[] = "未使用 Google Earth：地图在浏览器中 {1}";
inline constexpr char kMapPage[] = "网页地图：{1}（单击此处打开）";
inline constexpr char kMapPageFailed[] = "网页地图无法启动：端口 {1} 到 {2} 都已被占用";

// The panel's labels.
inline constexpr char kWeakSignal[] = "信号弱";
inline constexpr char kPrecision[] = "GPS精度 : {1}";

// Message boxes: their texts and titles.
inline constexpr char kEarthMissing[] = "未安装 Google Earth，或 Google Earth 版本错误！";
inline constexpr char kEarthNotRegistered[] = "已安装 Google Earth Pro，但其自动化接口未注册。请以管理员身份运行一次：\"{1}\" /RegServer";
inline constexpr char kErrorTitle[] = "错误";
inline constexpr char kNoticeTitle[] = "提示";

// Tooltips.
inline constexpr char kTipNoReceiver[] = "修改Config.ini , 双击重新连接GPS设备";
inline constexpr char kTipWeakSignal[] = "GPS 信号弱 , 双击“冷启动” GPS";
inline constexpr char kTipReceiverOk[] = "GPS 设备正常";
inline constexpr char kTipStartTrack[] = "开始记录轨迹";
inline constexpr char kTipStopTrack[] = "停止记录轨迹";
inline constexpr char kTipUnlockMap[] = "解锁地图，可移动地图";
inline constexpr char kTipLockMap[] = "锁定地图，中心显示GPS当前位置";
inline constexpr char kTipHeadingUp[] = "路随车转(前方向上)";
inline constexpr char kTipNorthUp[] = "上北下南";
inline constexpr char kTip2D[] = "2D(平面)";
inline constexpr char kTip3D[] = "3D(立体)";
inline constexpr char kTipPicker[] = "获取窗口名称";
inline constexpr char kTipTool[] = "地点管理";
inline constexpr char kTipZoomIn[] = "放大地图";
inline constexpr char kTipZoomOut[] = "缩小地图";
inline constexpr char kTipSpeed[] = "速度";
inline constexpr char kTipPrecision[] = "GPS精度";
inline constexpr char kTipAltitude[] = "高程";

// `pattern` with "{1}" and "{2}" filled in.
inline std::string Fill(std::string_view pattern, std::string_view one, std::string_view two = {}) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            out += pattern[i + 1] == '1' ? one : two;
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace qv::text
