#include "report/thai_reason.h"

#include <array>

namespace report {

namespace {

struct Wording {
    int32_t number;
    const char* thai;
};

constexpr std::array kWordings = {
    Wording{5, "ค่าที่ระบุใช้ไม่ได้"},
    Wording{6, "ตัวเลขมีค่าเกินกว่าที่ช่องนี้เก็บได้"},
    Wording{9, "ไม่พบรายการที่อ้างถึง"},
    Wording{13, "ชนิดข้อมูลไม่ตรงกัน: ค่านี้แปลงเป็นตัวเลขหรือวันที่ไม่ได้"},
    Wording{52, "ชื่อไฟล์ใช้ไม่ได้"},
    Wording{53, "ไม่พบไฟล์"},
    Wording{94, "ช่องนี้ต้องมีค่า แต่ข้อมูลว่าง"},
    Wording{3021, "ไม่มีแถวข้อมูลปัจจุบัน (ตารางรูปแบบอาจไม่มีแถวที่ต้องการ)"},
    Wording{3022, "ข้อมูลซ้ำกับแถวที่มีอยู่แล้ว"},
    Wording{3024, "ไม่พบไฟล์ฐานข้อมูล"},
    Wording{3027, "ฐานข้อมูลเป็นแบบอ่านอย่างเดียว บันทึกไม่ได้"},
    Wording{3043, "อ่านหรือเขียนดิสก์ไม่ได้"},
    Wording{3049, "เปิดฐานข้อมูลไม่ได้ ไฟล์อาจเสียหายหรือไม่ใช่ฐานข้อมูล Access"},
    Wording{3051, "ไฟล์ฐานข้อมูลถูกโปรแกรมอื่นเปิดใช้อยู่ หรือไม่มีสิทธิ์เปิด"},
    Wording{3075, "ค่ามีเครื่องหมาย ' ซึ่งใช้ในรหัสไม่ได้"},
    Wording{3078, "ไม่พบตารางในฐานข้อมูล"},
    Wording{3163, "ค่ายาวเกินกว่าที่ช่องนี้เก็บได้"},
    Wording{3265, "ไม่พบชื่อช่องข้อมูลในตาราง"},
    Wording{3314, "ช่องนี้ต้องมีค่า แต่ข้อมูลว่าง"},
    Wording{3315, "ช่องนี้ต้องไม่เป็นข้อความว่าง"},
    Wording{3343, "ไฟล์ไม่ใช่ฐานข้อมูลที่โปรแกรมรู้จัก"},
    Wording{3464, "ชนิดข้อมูลไม่ตรงกันในเงื่อนไขค้นหา"},
};

}  // namespace

std::string thaiReason(int32_t number, const std::string& description) {
    for (const Wording& wording : kWordings) {
        if (wording.number == number) return wording.thai;
    }
    return "ข้อผิดพลาด " + std::to_string(number) + ": " + description;
}

}  // namespace report
