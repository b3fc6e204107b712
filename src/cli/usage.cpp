// The usage texts of the command line.
#include "cli/arguments.h"

namespace levelnet::cli {

const char kUsageText[] =
    "用法:\n"
    "  levelnet adjust [选项] FILE.pc ...\n"
    "      平差，把平差报告写到标准输出（默认 UTF-8，行尾 \\r\\n）\n"
    "  levelnet adjust --results [选项] FILE.pc ...\n"
    "      只写平差报告的第 1、5、6、7 部分（近似高程、平差值、改正数、精度评定），不写法方程和 Q；\n"
    "      用稀疏分解，可平差大网（最多 500000 个点、1000000 个观测值）\n"
    "  levelnet check [选项] FILE.pc ... [--records FIELD_FILE ...]\n"
    "      检核观测数据：闭合差与限差、M_W、单位权方差的χ²检验、粗差探测与 MDB；\n"
    "      --records（可重复）附上网所来自的观测手簿或电子水准仪数据的测站检核\n"
    "  levelnet results [--format txt|csv|json|xlsx] [-o OUT] [--encoding utf-8|gbk] [--with-check] FILE.pc\n"
    "      平差并写出成果表（点成果、观测值、精度评定）；默认 txt 到标准输出，xlsx 必须用 -o\n"
    "  levelnet report [选项] FILE.pc --pdf OUT.pdf [--with-check]\n"
    "      平差并生成 PDF 报告（A4：成果表、精度评定、平差报告全文，--with-check 时附检核报告）\n"
    "  levelnet normalize [选项] IN.pc OUT.pc\n"
    "      读入 IN.pc 并按“保存”的格式（GBK 编码）写成 OUT.pc；OUT 为 - 时写到标准输出\n"
    "  levelnet import FIELD_FILE ... -o NET.pc [--grade 四等] [--known BM1=12.345 ...]\n"
    "      读入观测手簿（CSV）或电子水准仪数据（Leica GSI-8/16、Trimble DiNi M5），逐站检核，\n"
    "      往返测取平均，写成平差文件 NET.pc；检核报告写到标准输出\n"
    "  levelnet plot FILE.pc -o NET.svg|NET.dxf [--coordinates PTS.csv] [--with-check [检核选项]]\n"
    "      画出网图（已知点、待定点、水准路线；能平差时附平差高程与中误差，--with-check 时按检核结果着色）；\n"
    "      --coordinates 给出点的平面坐标（点名,X,Y 或 点名,编码,Y,X,H），否则自动布局\n"
    "  levelnet design FILE.pc [--sigma-km S] [--grade G] [--add 起点,终点,长度]... [--remove N]... "
    "[--point-limit MM]\n"
    "      精度预估：不用观测高差（可不填），给出待定点的预估中误差、最弱点、各路线的 r、MDB 与外部可靠性、\n"
    "      无法检核的路线；--add/--remove 试加或去掉路线，比较最弱点\n"
    "  levelnet --version | --help\n"
    "选项:\n"
    "  -o FILE, --output FILE   报告写到 FILE（安全保存），不写标准输出\n"
    "  --encoding utf-8|gbk     读入文件的编码，也是报告的编码；不指定时按 GBK 读入，\n"
    "                           明显是 UTF-8 的文件按 UTF-8 读入并说明；报告在终端上用终端的编码\n"
    "  --format F               （results）成果表格式：txt（默认）、csv（UTF-8 带 BOM，--encoding gbk 时为 GBK）、\n"
    "                           json（UTF-8）、xlsx（工作表“点成果”和“观测值”）\n"
    "  --grade 一等|二等|三等|四等|等外|工程二等…工程五等  --terrain 平原|山区  --sigma-km S   "
    "（check）等级、地形、每公里中误差(mm)\n"
    "  --pdf OUT.pdf            （report）PDF 写到 OUT.pdf（安全保存）；OUT 为 - 时写到标准输出\n"
    "  --with-check             （report）PDF 附检核报告（检核选项同 check；--grade 也写入标题栏）；\n"
    "                           （results）观测值附检核的多余观测分量 r 与统计量 w（或 τ）\n"
    "  --known 点名=高程         （import）已知点及其高程(m)，可重复；一个值里也可写多个，用逗号、分号或空格分隔\n"
    "  --section-end 点名       （import）数字水准仪线路中的分段点，可重复\n"
    "  --unit-length L          （import）单位权长度(km)，默认 1\n"
    "  --weight length|stations （import）按路线长度（默认）或按测站数定权\n"
    "  --grade 一等|二等|三等|四等|工程二等|工程三等|工程四等|工程五等  --terrain 平原|山区   （import）默认四等\n"
    "  -                        作为文件名：标准输入\n"
    "  --                       选项到此为止，其后都是文件名\n"
    "退出码: 0 完成（report 写出了 PDF 即为 0，检核结论见 PDF）; 1 文件或数据无法使用、输出无法写入; 2 用法错误; "
    "3 检核未通过或无法检核（import：有测站或测段超限，NET.pc 仍已写出）; 多个文件时取最严重者\n";

// The short usage a usage error ends with.
const char kShortUsage[] =
    "用法: levelnet adjust|check FILE.pc ... | levelnet results [--format F] FILE.pc | levelnet report FILE.pc --pdf "
    "OUT.pdf | levelnet normalize IN.pc OUT.pc | levelnet import FIELD_FILE ... -o NET.pc | levelnet plot FILE.pc -o "
    "NET.svg | levelnet design FILE.pc --sigma-km S（levelnet --help "
    "显示全部说明）\n";

}  // namespace levelnet::cli
