#include "sample_company.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "jet/database.h"
#include "jet/path_text.h"
#include "text/windows874.h"

namespace cli {

namespace {

// A small generator of our own, so the same seed gives the same company on every platform.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, size_t N>
    const T& pick(const std::array<T, N>& items) {
        return items[static_cast<size_t>(below(static_cast<int>(N)))];
    }

  private:
    uint64_t state_;
};

struct Name {
    const char* thai;
    const char* english;
};

constexpr std::array<Name, 16> kMaleNames = {{
    {"สมชาย", "Somchai"},
    {"สมศักดิ์", "Somsak"},
    {"ประเสริฐ", "Prasert"},
    {"วิชัย", "Wichai"},
    {"สุรชัย", "Surachai"},
    {"อนุชา", "Anucha"},
    {"ธนากร", "Thanakorn"},
    {"กิตติพงษ์", "Kittipong"},
    {"ณัฐพล", "Nattapon"},
    {"พีระพงษ์", "Peerapong"},
    {"ชัยวัฒน์", "Chaiwat"},
    {"บุญมี", "Boonmee"},
    {"เอกชัย", "Ekachai"},
    {"ศุภชัย", "Supachai"},
    {"ธีรวัฒน์", "Teerawat"},
    {"วีระ", "Weera"},
}};
constexpr std::array<Name, 16> kFemaleNames = {{
    {"สมหญิง", "Somying"},
    {"มาลี", "Malee"},
    {"วันเพ็ญ", "Wanpen"},
    {"สุดารัตน์", "Sudarat"},
    {"กาญจนา", "Kanchana"},
    {"นภาพร", "Napaporn"},
    {"ปิยะนุช", "Piyanuch"},
    {"รัตนา", "Rattana"},
    {"อรุณี", "Arunee"},
    {"จันทร์เพ็ญ", "Chanpen"},
    {"พรทิพย์", "Porntip"},
    {"ศิริพร", "Siriporn"},
    {"อัญชลี", "Anchalee"},
    {"ทองใบ", "Thongbai"},
    {"ดวงใจ", "Duangjai"},
    {"ลำดวน", "Lamduan"},
}};
constexpr std::array<Name, 16> kLastNames = {{
    {"ใจดี", "Jaidee"},
    {"รักไทย", "Rakthai"},
    {"ศรีสุข", "Srisuk"},
    {"วงศ์สวัสดิ์", "Wongsawat"},
    {"แก้วมณี", "Kaewmanee"},
    {"บุญเรือง", "Boonruang"},
    {"ทองคำ", "Thongkham"},
    {"พึ่งบุญ", "Phuengboon"},
    {"สายสุวรรณ", "Saisuwan"},
    {"จันทร์แก้ว", "Chankaew"},
    {"เพชรรัตน์", "Phetcharat"},
    {"มั่นคง", "Mankong"},
    {"ศักดิ์สิทธิ์", "Saksit"},
    {"อินทร์ประเสริฐ", "Inprasert"},
    {"ชื่นชม", "Chuenchom"},
    {"ณ อยุธยา", "Na Ayutthaya"},
}};
constexpr std::array<const char*, 6> kPositions = {"MGR01", "ENG02", "ACC01",
                                                   "CLK03", "SUP01", "DRV02"};
constexpr std::array<const char*, 5> kDepartments = {"D00101", "D00102", "D00201", "D00305",
                                                     "D00410"};
constexpr std::array<const char*, 4> kSections = {"S00201", "S00202", "S00310", "S00411"};
constexpr std::array<const char*, 4> kSubSections = {"X1234", "X1299", "Y2001", "Z3050"};
constexpr std::array<const char*, 6> kStreets = {"ถนนสุขุมวิท",  "ถนนพหลโยธิน", "ถนนรามคำแหง",
                                                 "ถนนเพชรบุรี", "ถนนลาดพร้าว", "ถนนมิตรภาพ"};
constexpr std::array<const char*, 5> kProvinces = {"กรุงเทพมหานคร", "นนทบุรี", "เชียงใหม่", "ขอนแก่น",
                                                   "ชลบุรี"};

// One pay item of a payroll layout: its key cut as Type for / Type / Code.
struct PayItem {
    const char* thai;
    const char* key;
};
constexpr std::array<PayItem, 10> kCalcItems = {{
    {"เงินเดือน", "I0101"},
    {"ค่าล่วงเวลา", "I0102"},
    {"ค่าครองชีพ", "I0103"},
    {"เบี้ยขยัน", "I0104"},
    {"ค่าเดินทาง", "I0105"},
    {"โบนัส", "I0106"},
    {"หักประกันสังคม", "D0201"},
    {"หักภาษี ณ ที่จ่าย", "D0202"},
    {"หักเงินกู้", "D0203"},
    {"ค่าคอมมิชชั่น", "I0107"},
}};
constexpr std::array<PayItem, 8> kPmItems = {{
    {"เงินเดือน", "F0101"},
    {"ค่าตำแหน่ง", "F0102"},
    {"ค่าครองชีพ", "F0103"},
    {"ค่าโทรศัพท์", "F0104"},
    {"ค่าเช่าบ้าน", "F0105"},
    {"ค่ารถ", "F0106"},
    {"เงินสมทบกองทุน", "F0201"},
    {"ค่าวิชาชีพ", "F0107"},
}};
constexpr std::array<PayItem, 8> kPdItems = {{
    {"ค่าล่วงเวลา", "V0101"},
    {"เบี้ยขยัน", "V0102"},
    {"ค่าคอมมิชชั่น", "V0103"},
    {"ค่ากะ", "V0104"},
    {"โบนัส", "V0105"},
    {"หักขาดงาน", "V0201"},
    {"หักมาสาย", "V0202"},
    {"เงินรางวัล", "V0106"},
}};
// The last pay items of the PM and PD layouts exist for no employee: their amounts find no row.
constexpr int kItemsWithoutRows = 1;

struct Date {
    int year, month, day;
};

// Days since 1899-12-30, the OLE automation date of a civil date.
double oleDate(const Date& d) {
    return static_cast<double>(jet::daysFromCivil(d.year, d.month, d.day) -
                               jet::daysFromCivil(1899, 12, 30));
}

std::string twoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

std::string money(long cents) {
    char text[32];
    const long whole = cents / 100;
    const long frac = (cents < 0 ? -cents : cents) % 100;
    std::snprintf(text, sizeof text, "%s%ld.%02ld", (cents < 0 && whole == 0) ? "-" : "", whole,
                  frac);
    return text;
}

jet::Currency currency(long cents) {
    return jet::Currency{static_cast<int64_t>(cents) * 100};
}

struct Employee {
    std::string code;
    bool male = true;
    std::string title, firstName, lastName, englishName;
    std::string status;  // "1".."4"
    std::string position, department, section, subSection;
    Date birth{}, hired{}, employed{};
    bool employedKnown = true;
    std::string bankAccount;
    int dependent1 = 0, dependent2 = 0;
    bool dependent1Empty = false;
    long salaryCents = 0;
    std::string idCard, address, typeOfStaff;
};

std::string digits(Random& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random.below(10));
    return text;
}

Employee makeEmployee(Random& random, int number) {
    Employee e;
    char code[16];
    std::snprintf(code, sizeof code, "E%05d", number);
    e.code = code;
    e.male = random.chance(50);
    const Name& first = e.male ? random.pick(kMaleNames) : random.pick(kFemaleNames);
    const Name& last = random.pick(kLastNames);
    e.title = e.male ? "นาย" : (random.chance(50) ? "นาง" : "นางสาว");
    e.firstName = first.thai;
    e.lastName = last.thai;
    e.englishName = std::string(first.english) + " " + last.english;
    e.status = std::to_string(random.between(1, 4));
    e.position = random.pick(kPositions);
    e.department = random.pick(kDepartments);
    e.section = random.pick(kSections);
    e.subSection = random.pick(kSubSections);
    e.birth = {random.between(1960, 2000), random.between(1, 12), random.between(1, 28)};
    e.hired = {random.between(2000, 2024), random.between(1, 12), random.between(1, 28)};
    e.employed = {e.hired.year, e.hired.month, e.hired.day};
    if (e.employed.month <= 9) e.employed.month += 3;  // after probation
    e.employedKnown = random.chance(85);
    e.bankAccount = random.chance(80) ? digits(random, 10) : "";
    e.dependent1 = random.between(0, 3);
    e.dependent1Empty = random.chance(20);
    e.dependent2 = random.between(0, 2);
    e.salaryCents = random.between(90, 950) * 10000L;
    e.idCard = std::to_string(random.between(1, 8)) + digits(random, 12);
    e.address = std::to_string(random.between(1, 999)) + " หมู่ " +
                std::to_string(random.between(1, 12)) + " " + random.pick(kStreets) + " " +
                random.pick(kProvinces) + " " + std::to_string(random.between(10, 90)) + "000";
    if (random.chance(10)) {
        e.address +=
            " (ติดต่อในเวลาทำการเท่านั้น โปรดโทรแจ้งล่วงหน้าอย่างน้อยหนึ่งวันก่อนเข้าพบ"
            " หากไม่สะดวกสามารถฝากเอกสารไว้ที่ป้อมยามด้านหน้าอาคาร)";
    }
    const int staff = random.below(10);
    e.typeOfStaff = staff < 5 ? "" : (staff < 8 ? "S" : "D");
    return e;
}

// ---- Table definitions ----

jet::ColumnDefinition column(const std::string& name, jet::ColumnType type, int size = 0) {
    jet::ColumnDefinition c;
    c.name = name;
    c.type = type;
    c.size = size;
    // The importers write empty texts into fields the file leaves empty.
    c.allowZeroLength = type == jet::ColumnType::Text || type == jet::ColumnType::Memo;
    return c;
}

jet::IndexDefinition index(const std::string& name, const std::vector<std::string>& columns,
                           bool primaryKey) {
    jet::IndexDefinition definition;
    definition.name = name;
    for (const std::string& c : columns) definition.columns.push_back({c, true});
    definition.primaryKey = primaryKey;
    definition.unique = primaryKey;
    definition.required = primaryKey;
    return definition;
}

jet::TableDefinition employeeMasterTable() {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = "Employee Master";
    jet::ColumnDefinition code = column("Employee#", T::Text, 10);
    code.required = true;
    code.allowZeroLength = false;
    t.columns.push_back(code);
    t.columns.push_back(column("Company Code", T::Text, 10));
    t.columns.push_back(column("Title", T::Text, 20));
    t.columns.push_back(column("First name", T::Text, 50));
    t.columns.push_back(column("Last name", T::Text, 50));
    t.columns.push_back(column("English name", T::Text, 100));
    t.columns.push_back(column("ID card", T::Text, 13));
    t.columns.push_back(column("Tax ID", T::Text, 13));
    t.columns.push_back(column("Social security", T::Text, 13));
    t.columns.push_back(column("Address", T::Memo));
    t.columns.push_back(column("Sex", T::Text, 1));
    t.columns.push_back(column("SexTableFor", T::Text, 1));
    t.columns.push_back(column("SexType", T::Text, 2));
    t.columns.push_back(column("Status", T::Text, 1));
    for (const char* coded : {"Position", "Department", "Section", "Sub-Section"}) {
        t.columns.push_back(column(coded, T::Text, 3));
        t.columns.push_back(column(std::string(coded) + "TableFor", T::Text, 1));
        t.columns.push_back(column(std::string(coded) + "Type", T::Text, 2));
    }
    t.columns.push_back(column("Type of staff", T::Text, 1));
    t.columns.push_back(column("Bank Account", T::Text, 20));
    t.columns.push_back(column("Bank Code", T::Text, 3));
    t.columns.push_back(column("Bank CodeTableFor", T::Text, 1));
    t.columns.push_back(column("Bank CodeType", T::Text, 2));
    t.columns.push_back(column("Custom name 1", T::Text, 50));
    for (const char* date :
         {"Birth date", "Hired date", "Employ date", "Promote date", "Resign Date"}) {
        t.columns.push_back(column(date, T::DateTime));
    }
    for (const char* dependent : {"Dependent1", "Dependent2"}) {
        jet::ColumnDefinition c = column(dependent, T::Integer);
        c.defaultValue = "0";
        t.columns.push_back(c);
    }
    t.columns.push_back(column("Salary", T::Currency));
    t.columns.push_back(column("Entered by", T::Text, 20));
    t.columns.push_back(column("Default Fix income form", T::Text, 4));
    t.columns.push_back(column("Default Var income form", T::Text, 4));
    t.indexes.push_back(index("PK_Employee", {"Employee#"}, true));
    t.indexes.push_back(index("IX_Department", {"Department"}, false));
    t.indexes.push_back(index("IX_LastName", {"Last name"}, false));
    return t;
}

jet::TableDefinition dataCalcTable() {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = "Data Calc";
    jet::ColumnDefinition id = column("ID", T::Long);
    id.autoNumber = true;
    t.columns.push_back(id);
    t.columns.push_back(column("Company Code", T::Text, 10));
    t.columns.push_back(column("Employee#", T::Text, 10));
    t.columns.push_back(column("Year", T::Integer));
    t.columns.push_back(column("Period", T::Byte));
    t.columns.push_back(column("Type for", T::Text, 1));
    t.columns.push_back(column("Type", T::Text, 2));
    t.columns.push_back(column("Code", T::Text, 2));
    t.columns.push_back(column("Amount", T::Currency));
    t.indexes.push_back(index("PK_DataCalc", {"ID"}, true));
    t.indexes.push_back(index("IX_Emp", {"Employee#", "Year", "Period"}, false));
    return t;
}

jet::TableDefinition detailTable(const std::string& name) {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = name;
    t.columns.push_back(column("Company Code", T::Text, 10));
    t.columns.push_back(column("Employee#", T::Text, 10));
    t.columns.push_back(column("Type for", T::Text, 1));
    t.columns.push_back(column("Type", T::Text, 2));
    t.columns.push_back(column("Code", T::Text, 2));
    t.columns.push_back(column("Amount", T::Currency));
    t.columns.push_back(column("Remark", T::Text, 50));
    t.indexes.push_back(index("PrimaryKey", {"Employee#", "Type for", "Type", "Code"}, true));
    return t;
}

jet::TableDefinition layoutTable(const std::string& name, bool withFormat) {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = name;
    t.columns.push_back(column("No", T::Long));
    t.columns.push_back(column("FieldThaiName", T::Text, 50));
    t.columns.push_back(column("ToFieldName", T::Text, 50));
    t.columns.push_back(column("FieldNo", T::Long));
    if (withFormat) t.columns.push_back(column("sFormat", T::Text, 20));
    t.indexes.push_back(index("PrimaryKey", {"No"}, true));
    return t;
}

// Builds a row by column name; columns not set stay null.
class RowBuilder {
  public:
    explicit RowBuilder(const jet::Table& table) : table_(table) {
        row_.resize(table.columns().size());
    }
    RowBuilder& set(const std::string& name, jet::Value value) {
        const int position = table_.columnIndex(name);
        if (position < 0) throw std::logic_error("sample: no column " + name);
        row_[static_cast<size_t>(position)] = std::move(value);
        return *this;
    }
    const jet::Row& row() const { return row_; }

  private:
    const jet::Table& table_;
    jet::Row row_;
};

// ---- Layouts ----

struct LayoutRow {
    int32_t no;
    std::string thai;
    std::string toField;
    int32_t fieldNo;
    std::string format;
};

// Employee file columns in order; the layout names them. Row No 1 (FieldNo 0) is a running
// number the file does not carry: the importers never see it.
std::vector<LayoutRow> employeeLayout() {
    std::vector<LayoutRow> rows = {
        {1, "ลำดับที่", "Custom name 1", 0, ""},
        {2, "รหัสพนักงาน", "Employee#", 1, ""},
        {3, "คำนำหน้า", "Title", 2, ""},
        {4, "ชื่อ", "First name", 3, ""},
        {5, "นามสกุล", "Last name", 4, ""},
        {6, "ชื่อภาษาอังกฤษ", "English name", 5, ""},
        {7, "เพศ", "Sex", 6, ""},
        {8, "สถานภาพ", "Status", 7, ""},
        {9, "ตำแหน่ง", "Position", 8, ""},
        {10, "แผนก", "Department", 9, ""},
        {11, "ฝ่าย", "Section", 10, ""},
        {12, "หน่วยงานย่อย", "Sub-Section", 11, ""},
        {13, "วันเกิด", "Birth date", 12, "yyyymmdd"},
        {14, "วันเริ่มงาน", "Hired date", 13, "dd/mm/yyyy"},
        {15, "วันบรรจุ", "Employ date", 14, "YYYYMMDD"},
        {16, "เลขที่บัญชีธนาคาร", "Bank Account", 15, ""},
        {17, "ลดหย่อนบุตร 1", "Dependent1", 16, ""},
        {18, "ลดหย่อนบุตร 2", "Dependent2", 17, ""},
        {19, "เงินเดือน", "Salary", 18, ""},
        {20, "เลขที่บัตรประชาชน", "ID card", 19, ""},
        {21, "ที่อยู่", "Address", 20, ""},
        {22, "ประเภทพนักงาน", "Type of staff", 21, ""},
    };
    return rows;
}

template <size_t N>
std::vector<LayoutRow> payrollLayout(const std::array<PayItem, N>& items) {
    std::vector<LayoutRow> rows = {{1, "รหัสพนักงาน", "Employee#", 1, ""}};
    for (size_t i = 0; i < N; ++i) {
        rows.push_back({static_cast<int32_t>(i + 2), items[i].thai, items[i].key,
                        static_cast<int32_t>(i + 2), ""});
    }
    return rows;
}

void fillLayout(jet::Database& db, const std::string& name, bool withFormat,
                const std::vector<LayoutRow>& rows) {
    jet::Table table = db.createTable(layoutTable(name, withFormat));
    for (const LayoutRow& r : rows) {
        RowBuilder row(table);
        row.set("No", r.no).set("FieldThaiName", r.thai).set("ToFieldName", r.toField);
        row.set("FieldNo", r.fieldNo);
        if (withFormat && !r.format.empty()) row.set("sFormat", r.format);
        table.insert(row.row());
    }
}

// ---- Input files ----

// Collects lines in UTF-8 and writes them in Windows-874 with CR LF.
class TextFile {
  public:
    void line(const std::string& utf8) { text_ += text::utf8ToWindows874(utf8) + "\r\n"; }
    void write(const std::filesystem::path& path) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text_;
        if (!out.flush()) throw std::runtime_error(jet::utf8FromPath(path) + ": cannot be written");
    }

  private:
    std::string text_;
};

std::string join(const std::vector<std::string>& columns) {
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) line += kSampleSeparator;
        line += columns[i];
    }
    return line;
}

std::string yyyymmdd(const Date& d) {
    return std::to_string(d.year) + twoDigits(d.month) + twoDigits(d.day);
}

// Day first, no leading zeros, year in the Buddhist Era: as Thai clerks write dates.
std::string dayFirst(const Date& d) {
    return std::to_string(d.day) + "/" + std::to_string(d.month) + "/" +
           std::to_string(d.year + 543);
}

std::vector<std::string> employeeColumns(const Employee& e, Random& random) {
    std::string employed = yyyymmdd(e.employed);
    if (!e.employedKnown) employed = random.chance(50) ? "00000000" : "";
    return {e.code,
            e.title,
            e.firstName,
            " " + e.lastName + " ",  // the plain rule trims blanks
            e.englishName,
            e.male ? "1" : "2",
            e.status,
            e.position,
            e.department,
            e.section,
            e.subSection,
            yyyymmdd(e.birth),
            dayFirst(e.hired),
            employed,
            e.bankAccount,
            e.dependent1Empty ? "" : std::to_string(e.dependent1),
            std::to_string(e.dependent2),
            money(e.salaryCents),
            e.idCard,
            e.address,
            e.typeOfStaff};
}

// An amount column: mostly money, sometimes zero in one of its forms, empty or negative; with
// `always`, money every time.
std::string amountColumn(Random& random, bool deduction, bool always) {
    const int roll = always ? 99 : random.below(100);
    if (roll < 8) return "";
    if (roll < 12) return "0";
    if (roll < 15) return "0.00";
    if (roll < 18) return " " + money(random.between(1, 500) * 100) + " ";
    long cents = random.between(50, 20000) * 25L;
    if (deduction || roll < 22) cents = -cents;
    return money(cents);
}

template <size_t N>
void payrollFile(TextFile& file, const std::vector<Employee>& employees,
                 const std::array<PayItem, N>& items, Random& random, bool full) {
    for (size_t i = 0; i < employees.size(); ++i) {
        std::vector<std::string> columns = {employees[i].code};
        for (const PayItem& item : items)
            columns.push_back(amountColumn(random, item.key[0] == 'D', full));
        file.line(join(columns));
        if (!full && i % 97 == 41) file.line("");  // blank lines are counted, not transferred
    }
}

long countRows(const jet::Table& table) {
    long count = 0;
    table.scan([&](jet::RowId, const jet::Row&) {
        ++count;
        return true;
    });
    return count;
}

}  // namespace

SampleCounts writeSampleCompany(const std::filesystem::path& folder, const SampleSize& size) {
    if (size.employees < 1 || size.employees > kMaxSampleEmployees) {
        throw std::invalid_argument("the number of employees must lie between 1 and 32767");
    }
    std::filesystem::create_directories(folder);
    Random random(size.seed);

    std::vector<Employee> employees;
    employees.reserve(static_cast<size_t>(size.employees));
    for (int i = 1; i <= size.employees; ++i) employees.push_back(makeEmployee(random, i));
    // The first three fifths are on file already; the transfer creates the rest.
    const size_t onFile =
        size.full ? employees.size() : std::max<size_t>(1, employees.size() * 3 / 5);

    SampleCounts counts;
    {
        std::shared_ptr<jet::Database> db = jet::Database::create(folder / "Melvar.mdb");
        db->begin();
        jet::Table master = db->createTable(employeeMasterTable());
        for (size_t i = 0; i < onFile; ++i) {
            const Employee& e = employees[i];
            RowBuilder row(master);
            row.set("Employee#", e.code).set("Company Code", "CC").set("Title", e.title);
            row.set("First name", e.firstName).set("Last name", e.lastName);
            row.set("English name", e.englishName).set("ID card", e.idCard);
            row.set("Address", e.address).set("Sex", e.male ? "M" : "F");
            row.set("SexTableFor", "S").set("SexType", "19");
            row.set("Status", std::string(1, "SMHD"[e.status[0] - '1']));
            row.set("Position", e.position.substr(0, 3)).set("PositionTableFor", "U");
            row.set("PositionType", "14");
            row.set("Department", e.department.substr(e.department.size() - 3));
            row.set("DepartmentTableFor", "U").set("DepartmentType", "10");
            row.set("Section", e.section.substr(e.section.size() - 3));
            row.set("SectionTableFor", "U").set("SectionType", "11");
            row.set("Sub-Section", e.subSection.substr(0, 3));
            row.set("Sub-SectionTableFor", "U").set("Sub-SectionType", "12");
            row.set("Type of staff", e.typeOfStaff.empty() ? "S" : e.typeOfStaff);
            if (!e.bankAccount.empty()) {
                row.set("Bank Account", e.bankAccount).set("Custom name 1", "B");
                row.set("Bank Code", "002").set("Bank CodeTableFor", "S");
                row.set("Bank CodeType", "13");
            }
            row.set("Birth date", jet::DateTime{oleDate(e.birth)});
            row.set("Hired date", jet::DateTime{oleDate(e.hired)});
            if (e.employedKnown) row.set("Employ date", jet::DateTime{oleDate(e.employed)});
            row.set("Dependent1", static_cast<int16_t>(e.dependent1));
            row.set("Dependent2", static_cast<int16_t>(e.dependent2));
            row.set("Salary", currency(e.salaryCents));
            row.set("Entered by", "Setup");
            row.set("Default Fix income form", "PM01").set("Default Var income form", "PD01");
            master.insert(row.row());
        }
        db->commit();

        // Calculation data of three earlier periods, which a transfer replaces (a full load: one
        // row of every pay item).
        db->begin();
        jet::Table calc = db->createTable(dataCalcTable());
        const int periods = size.full ? 1 : 3;
        const int itemsAPeriod = size.full ? static_cast<int>(kCalcItems.size()) : 4;
        for (size_t i = 0; i < onFile; ++i) {
            for (int period = 1; period <= periods; ++period) {
                for (int k = 0; k < itemsAPeriod; ++k) {
                    const size_t item =
                        size.full ? static_cast<size_t>(k) : static_cast<size_t>(random.below(9));
                    const std::string key = kCalcItems[item].key;
                    RowBuilder row(calc);
                    row.set("Company Code", "CC").set("Employee#", employees[i].code);
                    row.set("Year", static_cast<int16_t>(2005));
                    row.set("Period", static_cast<uint8_t>(period));
                    row.set("Type for", key.substr(0, 1)).set("Type", key.substr(1, 2));
                    row.set("Code", key.substr(3, 2));
                    row.set("Amount", currency(random.between(100, 50000) * 100L));
                    calc.insert(row.row());
                }
            }
        }
        db->commit();

        // Detail rows: every employee on file has most pay items; the last item of each layout
        // exists for nobody and one more is missing for some employees (a full load: every
        // employee has every item).
        auto details = [&](const std::string& name, const auto& items) {
            db->begin();
            jet::Table table = db->createTable(detailTable(name));
            for (size_t i = 0; i < onFile; ++i) {
                const size_t missing =
                    size.full ? items.size() : static_cast<size_t>(random.below(12));
                const size_t withRows = items.size() - (size.full ? 0 : kItemsWithoutRows);
                for (size_t k = 0; k < withRows; ++k) {
                    if (k == missing) continue;
                    const std::string key = items[k].key;
                    RowBuilder row(table);
                    row.set("Company Code", "CC").set("Employee#", employees[i].code);
                    row.set("Type for", key.substr(0, 1)).set("Type", key.substr(1, 2));
                    row.set("Code", key.substr(3, 2));
                    row.set("Amount", currency(random.between(1, 400) * 2500L));
                    row.set("Remark", std::string(items[k].thai));
                    table.insert(row.row());
                }
            }
            db->commit();
        };
        details("Data Master Detail", kPmItems);
        details("Data Variant Detail", kPdItems);

        counts.employeesInDatabase = countRows(db->table("Employee Master"));
        counts.dataCalcRows = countRows(db->table("Data Calc"));
        counts.masterDetailRows = countRows(db->table("Data Master Detail"));
        counts.variantDetailRows = countRows(db->table("Data Variant Detail"));
    }
    {
        std::shared_ptr<jet::Database> db = jet::Database::create(folder / "ImportData.mdb");
        db->begin();
        fillLayout(*db, "iEmployee Master", true, employeeLayout());
        fillLayout(*db, "iData Calc", false, payrollLayout(kCalcItems));
        fillLayout(*db, "iDataMasterDetail", false, payrollLayout(kPmItems));
        fillLayout(*db, "iDataVariantDetail", false, payrollLayout(kPdItems));
        db->commit();
    }

    // Input files: every employee, those on file (updated) and the new ones (created).
    Random fileRandom(size.seed ^ 0x5EED5EED5EEDull);
    // Blank lines count as lines read: they never push a file past the 32,767 lines one transfer
    // may read.
    TextFile employeesFile;
    size_t blanks = 0;
    for (size_t i = 0; i < employees.size(); ++i) {
        employeesFile.line(join(employeeColumns(employees[i], fileRandom)));
        if (!size.full && i % 50 == 17 &&
            employees.size() + blanks < static_cast<size_t>(kMaxSampleEmployees)) {
            employeesFile.line("");
            ++blanks;
        }
    }
    employeesFile.write(folder / kSampleEmployeeFile);

    // Payroll files name the employees on file (detail rows exist only for them).
    const std::vector<Employee> onFileEmployees(employees.begin(),
                                                employees.begin() + static_cast<long>(onFile));
    TextFile calcFile, pmFile, pdFile;
    payrollFile(calcFile, onFileEmployees, kCalcItems, fileRandom, size.full);
    payrollFile(pmFile, onFileEmployees, kPmItems, fileRandom, size.full);
    payrollFile(pdFile, onFileEmployees, kPdItems, fileRandom, size.full);
    calcFile.write(folder / kSampleDataCalcFile);
    pmFile.write(folder / kSamplePmFile);
    pdFile.write(folder / kSamplePdFile);
    return counts;
}

}  // namespace cli
