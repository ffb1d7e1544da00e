// The shipped data: file form, the catalogue it yields, reference values from the
// standards, the prefixes, and the data check of tenvari-cli.
#include "calc/TvCalculate.h"
#include "cli/TvCheck.h"
#include "units/TvTextFile.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kDataDir = TENVARI_SOURCE_DATA_DIR "/";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ShippedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        unitsLoaded_ = units_.LoadFromFile(kDataDir + "units.dat");
        prefixes_.LoadFromFile(kDataDir + "prefix.dat");
    }

    void SetUp() override {
        ASSERT_TRUE(unitsLoaded_) << "units.dat line " << units_.LastError().Line + 1 << ": "
                                  << units_.LastError().Reason;
        ASSERT_TRUE(prefixes_.Loaded()) << "prefix.dat line " << prefixes_.LastError().Line + 1
                                        << ": " << prefixes_.LastError().Reason;
    }

    static int FindGroup(const std::string& name) {
        for (int32_t g = 0; g < units_.GroupCount(); ++g) {
            if (units_.GetGroup(g).Name == name) {
                return g;
            }
        }
        return -1;
    }

    // The unit of the selected group with that name.
    static std::optional<tv::TUnitEntry> FindUnit(const std::string& name) {
        for (int32_t p = 0; p < units_.UnitCount(); ++p) {
            if (units_.GetUnit(p).Name == name) {
                return units_.GetUnit(p);
            }
        }
        return std::nullopt;
    }

    static inline tv::TUnits units_;
    static inline tv::TPrefixes prefixes_;
    static inline bool unitsLoaded_ = false;
};

TEST(ShippedDataFiles, AreUtf8WithCrLfAndNoByteOrderMark) {
    for (const char* file : {"units.dat", "prefix.dat"}) {
        SCOPED_TRACE(file);
        const std::string bytes = ReadBytes(kDataDir + file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(bytes.find('\0'), std::string::npos);
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at byte " << i;
            } else if (bytes[i] == '\r') {
                ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    << "lone CR at byte " << i;
            }
        }
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        // Valid UTF-8 throughout: one stray byte would make the reader take the file for CP932.
        EXPECT_EQ(tv::ReadDataFile(kDataDir + file), bytes);
    }
}

TEST_F(ShippedData, HoldsEnoughGroupsAndUnitsEachStartingWithItsBase) {
    EXPECT_GE(units_.GroupCount(), 25);
    int total = 0;
    std::set<std::string> groupNames;
    for (int32_t g = 0; g < units_.GroupCount(); ++g) {
        const tv::TUnitsEntry group = units_.GetGroup(g);
        SCOPED_TRACE(group.Name);
        EXPECT_TRUE(groupNames.insert(group.Name).second) << "group name used twice";
        units_.SelectGroup(g);
        ASSERT_GT(units_.UnitCount(), 1);
        EXPECT_EQ(units_.GetUnit(0).ToBase, "$i");
        EXPECT_EQ(units_.GetUnit(0).FromBase, "$t");
        for (int32_t p = 0; p < units_.UnitCount(); ++p) {
            const tv::TUnitEntry unit = units_.GetUnit(p);
            // A placeholder of the wrong kind would leave the formula a constant.
            EXPECT_NE(unit.ToBase.find("$i"), std::string::npos) << unit.Name;
            EXPECT_NE(unit.FromBase.find("$t"), std::string::npos) << unit.Name;
        }
        total += units_.UnitCount();
    }
    EXPECT_GE(total, 500);
}

// A unit is named on the command line and found in the search by its symbol (the text in square
// brackets at the end of its name) or by its name without that part, so within a group both
// must be unambiguous.
TEST_F(ShippedData, SymbolsAndNamesWithoutSymbolAreUniqueWithinEachGroup) {
    for (int32_t g = 0; g < units_.GroupCount(); ++g) {
        SCOPED_TRACE(units_.GetGroup(g).Name);
        units_.SelectGroup(g);
        std::map<std::string, std::string> bySymbol;
        std::map<std::string, std::string> byShortName;
        for (int32_t p = 0; p < units_.UnitCount(); ++p) {
            const std::string name = units_.GetUnit(p).Name;
            const size_t open = name.rfind(" [");
            std::string shortName = name;
            if (open != std::string::npos && name.back() == ']') {
                const std::string symbol = name.substr(open + 2, name.size() - open - 3);
                shortName = name.substr(0, open);
                const auto [it, added] = bySymbol.emplace(symbol, name);
                EXPECT_TRUE(added) << "[" << symbol << "]: " << it->second << " and " << name;
            }
            const auto [it, added] = byShortName.emplace(shortName, name);
            EXPECT_TRUE(added) << shortName << ": " << it->second << " and " << name;
        }
    }
}

struct TReference {
    const char* Group;
    const char* From;
    const char* To;
    const char* Input;
    long double Expected;
};

// 尺 = 10/33 m (度量衡法); the 尺貫法 areas and volumes below are written from it.
constexpr long double kShaku = 10.0L / 33;
constexpr long double kCubicShaku = kShaku * kShaku * kShaku;

// Values from the definitions (計量法 and its ordinances, the SI brochure, IEC 80000-13, the 1959
// yard and pound agreement, NIST SP 811); every group has at least one.
const TReference kReferences[] = {
    {"長さ", "マイル [mi]", "メートル [m]", "1", 1.609344E3L},
    {"長さ", "海里 [nmi]", "メートル [m]", "1", 1.852E3L},
    {"長さ", "尺", "メートル [m]", "33", 1E1L},
    {"長さ", "間", "尺", "1", 6E0L},
    {"長さ", "里", "キロメートル [km]", "1", 3.92727272727272727272E0L},
    {"長さ", "フィート [ft]", "インチ [in]", "1", 1.2E1L},
    {"長さ", "ヤード [yd]", "メートル [m]", "-2.5", -2.286E0L},
    {"長さ", "米国測量フィート [ft(US)]", "メートル [m]", "1", 3.04800609601219202438E-1L},
    {"長さ", "光年 [ly]", "メートル [m]", "1", 9.4607304725808E15L},
    {"長さ", "パーセク [pc]", "天文単位 [au]", "1", 2.06264806247096355156E5L},
    {"長さ", "ポイント（DTP） [pt]", "ミリメートル [mm]", "72", 2.54E1L},
    {"長さ", "級 [Q]", "ミリメートル [mm]", "4", 1E0L},
    {"長さ", "パイカ（DTP） [pica]", "インチ [in]", "6", 1E0L},
    {"長さ", "尋", "尺", "1", 6E0L},
    {"長さ", "オングストローム [Å]", "ナノメートル [nm]", "1", 1E-1L},
    {"面積", "坪", "平方メートル [m2]", "1", 3.30578512396694214876E0L},
    {"面積", "反（段）", "坪", "1", 3E2L},
    {"面積", "町歩", "ヘクタール [ha]", "1", 9.91735537190082644628E-1L},
    {"面積", "畳（不動産表示 1.62 m2）", "平方メートル [m2]", "6", 9.72E0L},
    {"面積", "帖（不動産表示 1.62 m2）", "平方メートル [m2]", "6", 9.72E0L},
    {"面積", "畳（京間・本間 6尺3寸×3尺1寸5分）", "平方メートル [m2]", "1",
     6.3L * kShaku * 3.15L * kShaku},
    {"面積", "畳（六二間 6尺2寸×3尺1寸）", "平方メートル [m2]", "1", 6.2L * kShaku * 3.1L * kShaku},
    {"面積", "畳（六一間 6尺1寸×3尺5分）", "平方メートル [m2]", "1",
     6.1L * kShaku * 3.05L * kShaku},
    {"面積", "畳（中京間・三六間 6尺×3尺）", "坪", "2", 1E0L},
    {"面積", "畳（江戸間・五八間 5尺8寸×2尺9寸）", "平方メートル [m2]", "1",
     5.8L * kShaku * 2.9L * kShaku},
    {"面積", "畳（団地間・五六間 5尺6寸×2尺8寸）", "平方メートル [m2]", "1",
     5.6L * kShaku * 2.8L * kShaku},
    {"面積", "平米", "坪", "1", 3.025E-1L},
    {"面積", "エーカー [ac]", "平方メートル [m2]", "1", 4.0468564224E3L},
    {"面積", "平方マイル [mi2]", "エーカー [ac]", "1", 6.4E2L},
    {"体積", "升", "リットル [L]", "1", 1.80390683696468820435E0L},
    {"体積", "石", "リットル [L]", "1", 1.80390683696468820435E2L},
    {"体積", "合", "升", "10", 1E0L},
    {"体積", "米ガロン [gal(US)]", "立方インチ [in3]", "1", 2.31E2L},
    {"体積", "英ガロン [gal(UK)]", "リットル [L]", "1", 4.54609E0L},
    {"体積", "米液量オンス [fl oz(US)]", "ミリリットル [mL]", "1", 2.95735295625E1L},
    {"体積", "米バレル（石油） [bbl]", "米ガロン [gal(US)]", "1", 4.2E1L},
    {"体積", "大さじ", "小さじ", "1", 3E0L},
    {"体積", "立米", "リットル [L]", "1", 1E3L},
    {"体積", "立坪", "立方メートル [m3]", "1", 216 * kCubicShaku},
    {"体積", "才（貨物 1立方尺）", "リットル [L]", "1", 1000 * kCubicShaku},
    {"体積", "才（木材 1寸角×12尺）", "石（木材）", "250", 3E0L},
    {"体積", "才（1/10 勺）", "升", "1000", 1E0L},
    {"質量", "貫", "キログラム [kg]", "1", 3.75E0L},
    {"質量", "斤", "匁", "1", 1.6E2L},
    {"質量", "ポンド [lb]", "キログラム [kg]", "1", 4.5359237E-1L},
    {"質量", "ポンド [lb]", "グレーン [gr]", "1", 7E3L},
    {"質量", "トロイオンス [oz t]", "グラム [g]", "1", 3.11034768E1L},
    {"質量", "カラット [ct]", "ミリグラム [mg]", "1", 2E2L},
    {"質量", "もんめ（真珠） [mom]", "グラム [g]", "1", 3.75E0L},
    {"時間", "年（ユリウス年 365.25 日） [a]", "日 [d]", "1", 3.6525E2L},
    {"時間", "週", "時間 [h]", "1", 1.68E2L},
    {"速度", "キロメートル毎時 [km/h]", "メートル毎秒 [m/s]", "100", 2.77777777777777777777E1L},
    {"速度", "ノット [kn]", "キロメートル毎時 [km/h]", "1", 1.852E0L},
    {"速度", "マイル毎時 [mph]", "キロメートル毎時 [km/h]", "60", 9.656064E1L},
    {"加速度", "標準重力加速度 [G]", "ガル [Gal]", "1", 9.80665E2L},
    {"力", "重量キログラム [kgf]", "ニュートン [N]", "1", 9.80665E0L},
    {"力", "重量ポンド [lbf]", "ニュートン [N]", "1", 4.4482216152605E0L},
    {"圧力", "標準気圧 [atm]", "パスカル [Pa]", "1", 1.01325E5L},
    {"圧力", "トル [Torr]", "標準気圧 [atm]", "760", 1E0L},
    {"圧力", "重量ポンド毎平方インチ [psi]", "パスカル [Pa]", "1", 6.89475729316836133672E3L},
    {"圧力", "水銀柱ミリメートル [mmHg]", "パスカル [Pa]", "1", 101325.0L / 760},
    {"圧力", "水銀柱ミリメートル（慣用値）", "パスカル [Pa]", "1", 13.5951L * 9.80665L},
    {"圧力", "ミリアクア（水柱ミリメートル） [mmAq]", "パスカル [Pa]", "1", 9.80665E0L},
    {"圧力", "水柱センチメートル [cmH2O]", "水柱ミリメートル [mmH2O]", "1", 1E1L},
    {"圧力", "バール [bar]", "ヘクトパスカル [hPa]", "1", 1E3L},
    {"エネルギー・熱量", "キロワット時 [kWh]", "メガジュール [MJ]", "1", 3.6E0L},
    {"エネルギー・熱量", "キロカロリー [kcal]", "ジュール [J]", "1", 4.184E3L},
    {"エネルギー・熱量", "カロリー（国際蒸気表） [calIT]", "ジュール [J]", "1", 4.1868E0L},
    {"エネルギー・熱量", "英熱量単位 [BTU]", "ジュール [J]", "1", 1.05505585262E3L},
    {"エネルギー・熱量", "電子ボルト [eV]", "ジュール [J]", "1", 1.602176634E-19L},
    {"エネルギー・熱量", "カロリー（旧計量法 4.18605 J）", "ジュール [J]", "1", 4.18605E0L},
    {"エネルギー・熱量", "15度カロリー（実測値） [cal15]", "ジュール [J]", "1", 4.1855E0L},
    {"エネルギー・熱量", "仏馬力時 [PS・h]", "キロワット時 [kWh]", "1", 7.355E-1L},
    {"仕事率・電力", "仏馬力 [PS]", "ワット [W]", "1", 7.355E2L},
    {"仕事率・電力", "キロカロリー毎時（熱化学） [kcal/h]", "ワット [W]", "3600", 4.184E3L},
    {"仕事率・電力", "カロリー毎秒（熱化学） [cal/s]", "ワット [W]", "1", 4.184E0L},
    {"仕事率・電力", "日本冷凍トン [JRT]", "キロカロリー毎時（国際蒸気表） [kcalIT/h]", "1",
     3.32E3L},
    {"仕事率・電力", "英馬力 [hp]", "ワット [W]", "1", 7.4569987158227022E2L},
    {"仕事率・電力", "米冷凍トン [USRT]", "英熱量単位毎時 [BTU/h]", "1", 1.2E4L},
    {"温度", "セルシウス度（摂氏） [℃]", "ファーレンハイト度（華氏） [°F]", "100", 2.12E2L},
    {"温度", "ファーレンハイト度（華氏） [°F]", "セルシウス度（摂氏） [℃]", "-40", -4E1L},
    {"温度", "ファーレンハイト度（華氏） [°F]", "セルシウス度（摂氏） [℃]", "32", 0.0L},
    {"温度", "ケルビン [K]", "セルシウス度（摂氏） [℃]", "0", -2.7315E2L},
    {"温度", "ランキン度 [°R]", "ファーレンハイト度（華氏） [°F]", "0", -4.5967E2L},
    {"温度", "レオミュール度 [°Re]", "セルシウス度（摂氏） [℃]", "80", 1E2L},
    {"温度", "ドリール度 [°De]", "セルシウス度（摂氏） [℃]", "0", 1E2L},
    {"温度", "ニュートン度 [°N]", "セルシウス度（摂氏） [℃]", "33", 1E2L},
    {"温度", "レーマー度 [°Ro]", "セルシウス度（摂氏） [℃]", "7.5", 0.0L},
    {"比エネルギー・発熱量", "英熱量単位毎ポンド [BTU/lb]", "キロジュール毎キログラム [kJ/kg]", "1",
     2.326E0L},
    {"比エネルギー・発熱量", "キロカロリー毎キログラム（熱化学） [kcal/kg]",
     "キロジュール毎キログラム [kJ/kg]", "1", 4.184E0L},
    {"比エネルギー・発熱量", "カロリー毎グラム（熱化学） [cal/g]", "ジュール毎キログラム [J/kg]",
     "1", 4.184E3L},
    {"比熱容量", "英熱量単位毎ポンド毎華氏度 [BTU/(lb・°F)]",
     "キロカロリー毎キログラム毎度（熱化学） [kcal/(kg・℃)]", "1", 4.1868L / 4.184L},
    {"比熱容量", "カロリー毎グラム毎度（熱化学） [cal/(g・℃)]",
     "キロジュール毎キログラム毎ケルビン [kJ/(kg・K)]", "1", 4.184E0L},
    {"熱伝導率", "英熱量単位毎フィート毎時毎華氏度 [BTU/(ft・h・°F)]",
     "ワット毎メートル毎ケルビン [W/(m・K)]", "1", 1.73073466637139107611E0L},
    {"熱伝導率", "キロカロリー毎メートル毎時毎度（国際蒸気表） [kcalIT/(m・h・℃)]",
     "ワット毎メートル毎ケルビン [W/(m・K)]", "1", 1.163E0L},
    {"熱伝導率", "キロカロリー毎メートル毎時毎度（熱化学） [kcal/(m・h・℃)]",
     "ワット毎メートル毎ケルビン [W/(m・K)]", "3600", 4.184E3L},
    {"熱伝導率", "カロリー毎センチメートル毎秒毎度（熱化学） [cal/(cm・s・℃)]",
     "ワット毎メートル毎ケルビン [W/(m・K)]", "1", 4.184E2L},
    {"角度", "度 [°]", "ラジアン [rad]", "180", 3.14159265358979323846E0L},
    {"角度", "回転 [rev]", "度 [°]", "1", 3.6E2L},
    {"角度", "グラード（ゴン） [gon]", "度 [°]", "100", 9E1L},
    {"角度", "秒 [″]", "分 [′]", "60", 1E0L},
    {"立体角", "全球", "平方度 [deg2]", "1", 4.12529612494192710312E4L},
    {"周波数・回転数", "回毎分 [rpm]", "ヘルツ [Hz]", "60", 1E0L},
    {"周波数・回転数", "ヘルツ [Hz]", "ラジアン毎秒 [rad/s]", "1", 6.28318530717958647692E0L},
    {"データ量", "ギビバイト [GiB]", "バイト [B]", "1", 1.073741824E9L},
    {"データ量", "ヨビバイト [YiB]", "バイト [B]", "1", 1.20892581961462917470E24L},
    {"データ量", "キビバイト [KiB]", "ビット [bit]", "1", 8.192E3L},
    {"データ量", "テラバイト [TB]", "ギガバイト [GB]", "1", 1E3L},
    {"データ量", "キロバイト（1024 B） [KB]", "バイト [B]", "1", 1.024E3L},
    {"データ量", "キロバイト（1024 B） [KB]", "キロバイト [kB]", "1", 1.024E0L},
    {"データ転送速度", "ギガビット毎秒 [Gbit/s]", "メガバイト毎秒 [MB/s]", "1", 1.25E2L},
    {"燃費", "キロメートル毎リットル [km/L]", "リットル毎100キロメートル [L/100km]", "10", 1E1L},
    {"燃費", "キロメートル毎リットル [km/L]", "リットル毎100キロメートル [L/100km]", "-2.5", -4E1L},
    {"燃費", "マイル毎ガロン（米） [mpg(US)]", "キロメートル毎リットル [km/L]", "1",
     4.25143707430272003401E-1L},
    {"燃費", "マイル毎ガロン（英） [mpg(UK)]", "リットル毎100キロメートル [L/100km]", "30",
     9.41603121106073861979E0L},
    {"燃費", "ガロン毎100マイル（米） [gal(US)/100mi]", "マイル毎ガロン（米） [mpg(US)]", "4",
     2.5E1L},
    {"密度", "グラム毎立方センチメートル [g/cm3]", "キログラム毎立方メートル [kg/m3]", "1", 1E3L},
    {"密度", "ポンド毎立方フィート [lb/ft3]", "キログラム毎立方メートル [kg/m3]", "1",
     1.60184633739601395796E1L},
    {"トルク・力のモーメント", "重量ポンドフィート [lbf・ft]", "ニュートンメートル [N・m]", "1",
     1.3558179483314004E0L},
    {"トルク・力のモーメント", "重量キログラムメートル [kgf・m]", "ニュートンメートル [N・m]", "1",
     9.80665E0L},
    {"面密度・収量", "キログラム毎反 [kg/反]", "キログラム毎10アール [kg/10a]", "1",
     1.00833333333333333333E0L},
    {"面密度・収量", "トン毎ヘクタール [t/ha]", "キログラム毎10アール [kg/10a]", "1", 1E2L},
    {"モル濃度", "モル毎リットル [mol/L]", "ミリモル毎リットル [mmol/L]", "1", 1E3L},
    {"速度", "ペース（分毎キロメートル） [min/km]", "キロメートル毎時 [km/h]", "5", 1.2E1L},
    {"速度", "キロメートル毎時 [km/h]", "ペース（分毎マイル） [min/mi]", "-16.09344", -6E0L},
    {"割合", "金の純度（カラット） [K]", "パーセント [%]", "18", 7.5E1L},
    {"数量・数詞", "無量大数", "億", "1", 1E60L},
    {"体積流量", "立方メートル毎時 [m3/h]", "リットル毎分 [L/min]", "1", 1.66666666666666666666E1L},
    {"体積流量", "米ガロン毎分 [gal(US)/min]", "リットル毎分 [L/min]", "1", 3.785411784E0L},
    {"質量流量", "トン毎時 [t/h]", "キログラム毎秒 [kg/s]", "1", 2.77777777777777777777E-1L},
    {"粘度", "ポアズ [P]", "センチポアズ [cP]", "1", 1E2L},
    {"動粘度", "ストークス [St]", "センチストークス [cSt]", "1", 1E2L},
    {"照度", "フートキャンドル [fc]", "ルクス [lx]", "1", 1.07639104167097223083E1L},
    {"輝度", "フートランベルト [fL]", "カンデラ毎平方メートル [cd/m2]", "1",
     3.42625909963539052691E0L},
    {"放射能", "キュリー [Ci]", "ギガベクレル [GBq]", "1", 3.7E1L},
    {"吸収線量", "ラド [rad]", "ミリグレイ [mGy]", "1", 1E1L},
    {"線量当量", "レム [rem]", "ミリシーベルト [mSv]", "1", 1E1L},
    {"線量率", "マイクロシーベルト毎時 [μSv/h]", "ミリシーベルト毎年（365 日） [mSv/a]", "1",
     8.76E0L},
    {"照射線量", "レントゲン [R]", "クーロン毎キログラム [C/kg]", "1", 2.58E-4L},
    {"電流", "CGS静電単位の電流 [statA]", "アンペア [A]", "2997924580", 1E0L},
    {"電荷・電気量", "ミリアンペア時 [mAh]", "クーロン [C]", "1000", 3.6E3L},
    {"電圧", "CGS静電単位の電圧 [statV]", "ボルト [V]", "1", 2.99792458E2L},
    {"電気抵抗", "キロオーム [kΩ]", "オーム [Ω]", "1", 1E3L},
    {"コンダクタンス", "モー [mho]", "ミリジーメンス [mS]", "1", 1E3L},
    {"静電容量", "マイクロファラド [μF]", "ピコファラド [pF]", "1", 1E6L},
    {"インダクタンス", "ミリヘンリー [mH]", "マイクロヘンリー [μH]", "1", 1E3L},
    {"磁束", "マクスウェル [Mx]", "ウェーバ [Wb]", "1", 1E-8L},
    {"磁束密度", "ガウス [G]", "ミリテスラ [mT]", "1", 1E-1L},
    {"磁界の強さ", "エルステッド [Oe]", "アンペア毎メートル [A/m]", "1", 7.95774715459476678844E1L},
    {"物質量", "モル [mol]", "個（粒子数）", "1", 6.02214076E23L},
    {"割合", "割", "パーセント [%]", "5", 5E1L},
    {"割合", "一兆分率 [ppt]", "比（小数）", "1", 1E-12L},
    {"数量・数詞", "京", "兆", "1", 1E4L},
    {"数量・数詞", "グロス", "ダース", "1", 1.2E1L},
    {"繊度（糸の太さ）", "綿番手（英式） [Ne]", "テックス [tex]", "1", 5.90541247448235637212E2L},
    {"繊度（糸の太さ）", "デニール [D]", "デシテックス [dtex]", "9", 1E1L},
};

TEST_F(ShippedData, ConvertsReferenceValuesTo15SignificantDigits) {
    for (const TReference& ref : kReferences) {
        SCOPED_TRACE(std::string(ref.Group) + ": " + ref.Input + " " + ref.From + " => " + ref.To);
        const int g = FindGroup(ref.Group);
        ASSERT_GE(g, 0) << "no such group";
        units_.SelectGroup(g);
        const std::optional<tv::TUnitEntry> from = FindUnit(ref.From);
        const std::optional<tv::TUnitEntry> to = FindUnit(ref.To);
        ASSERT_TRUE(from && to) << "no such unit";
        tv::TUnitConvRequest request;
        request.InputText = ref.Input;
        request.Source = *from;
        request.Target = *to;
        const tv::TUnitConvResult result = tv::ConvertUnit(request, prefixes_);
        const long double got = tv::StrToFloatValue(result.Output);
        if (ref.Expected == 0) {
            // Zeros come out of offsets of a few hundred kelvin.
            EXPECT_LE(std::fabs(got), 1E-13L) << result.Output;
        } else {
            EXPECT_LE(std::fabs(got - ref.Expected), 5E-15L * std::fabs(ref.Expected))
                << result.Output;
        }
    }
}

TEST_F(ShippedData, EveryGroupHasAReferenceValue) {
    std::set<std::string> covered;
    for (const TReference& ref : kReferences) {
        covered.insert(ref.Group);
    }
    for (int32_t g = 0; g < units_.GroupCount(); ++g) {
        EXPECT_TRUE(covered.count(units_.GetGroup(g).Name)) << units_.GetGroup(g).Name;
    }
}

TEST_F(ShippedData, ResolvesPrefixes) {
    const struct {
        const char* Text;
        long double Expected;
    } cases[] = {
        {"5k", 5000.0L},
        {"-5m", -0.005L},
        {"2Mi", 2097152.0L},
        {"3\u03bc", 3E-6L},
        {"3u", 3E-6L},
        {"1da", 10.0L},
        {"1d", 0.1L},
        {"1h", 100.0L},
        {"1.5G", 1.5E9L},
        {"2E", 2E18L},    // a lone E after the number is exa
        {"2E3", 2000.0L}, // E followed by a digit is an exponent
        {"1E-3k", 1.0L},  // exponent, then a prefix
        {"1q", 1E-30L},
        {"1r", 1E-27L},
        {"1R", 1E27L},
        {"1Q", 1E30L},
        {"1Ki", 1024.0L},
        {"1Ei", std::ldexp(1.0L, 60)},
        {"1Zi", std::ldexp(1.0L, 70)},
        {"1Yi", std::ldexp(1.0L, 80)},
        {"2k*3Mi", 6.0L * 1000 * 1048576},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const long double got = tv::Calculate(c.Text, prefixes_);
        EXPECT_LE(std::fabs(got - c.Expected), 1E-18L * std::fabs(c.Expected)) << got;
    }
    // The binary factors are exact powers of two.
    EXPECT_EQ(tv::Calculate("1Yi", prefixes_), std::ldexp(1.0L, 80));
    EXPECT_EQ(tv::Calculate("1Ei", prefixes_), std::ldexp(1.0L, 60));
}

TEST(ShippedDataCheck, FindsNoErrorAndNoWarning) {
    const tv::TCheckResult result = tv::CheckData(kDataDir);
    std::ostringstream report;
    tv::ReportCheck(result, report);
    EXPECT_TRUE(result.Issues.empty()) << report.str();
}

} // namespace
