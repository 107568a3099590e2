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

// The settings dialog.
inline constexpr char kSettingsTitle[] = "设置";
inline constexpr char kAutoPort[] = "自动查找";
inline constexpr char kPortAbsent[] = "（未连接）";
inline constexpr char kOpenBrowserNever[] = "从不";
inline constexpr char kOpenBrowserWithoutEarth[] = "不使用 Google Earth 时";
inline constexpr char kOpenBrowserAlways[] = "总是";
inline constexpr char kDatumWgs84[] = "WGS-84（OpenStreetMap、天地图）";
inline constexpr char kDatumGcj02[] = "GCJ-02（高德等国内地图）";
inline constexpr char kTileOwn[] = "自定义";
inline constexpr char kFieldBadSetting[] = "不是可用的串口设置，例如 4800,n,8,1";
inline constexpr char kFieldNoTalker[] = "请至少选一个";
inline constexpr char kFieldBadEyeHigh[] = "请填 400 到 10000000 之间的整数";
inline constexpr char kFieldBadPrecision[] = "请填 0 到 111000 之间的数";
inline constexpr char kFieldBadTrackFile[] = "请填完整路径，例如 D:\\GPS\\当前轨迹.kml";
inline constexpr char kFieldBadWebPort[] = "请填 1 到 65535 之间的整数";
inline constexpr char kFieldBadTileUrl[] = "须以 http:// 或 https:// 开头，含 {z}、{x}、{y}";
inline constexpr char kFieldTileKey[] = "请把“您的密钥”换成您申请的密钥";
inline constexpr char kFieldNotGbk[] = "含有 GBK 编码不能保存的字符";
inline constexpr char kFieldTooLong[] = "太长：最多 254 个字节（一个汉字占 2 个）";
inline constexpr char kConfigUnwritable[] = "无法写入 {1}（文件夹可能是只读的，例如在 C:\\Program Files 中）。\n文件保持原样；这些设置只在本次运行中有效。";
inline constexpr char kConfigUnreadable[] = "无法读取 {1}，为免覆盖其内容，没有写入。\n这些设置只在本次运行中有效。";
inline constexpr char kConfigNotGbk[] = "{1} 中有 GBK 编码不能表示的字符，程序无法修改它。\n这些设置只在本次运行中有效。";
inline constexpr char kConfigInUtf8[] = "Config.ini 是以 UTF-8 编码保存的（新版记事本会这样保存），程序能正确读取。\n是否把它转换为 GBK 编码后保存设置？选“否”则仍以 UTF-8 保存。";
inline constexpr char kAddTalker[] = "是否读取 ${1} 开头的语句？";
inline constexpr char kOfferSettings[] = "未找到 GPS 设备。是否打开“设置”，选择接收机所在的串口？\n选“否”则重新连接。";

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
inline constexpr char kTipTool[] = "设置";
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
