// A small assembler for the ActionScript 1/2 byte code (AVM1) the templates carry: the actions
// used by the controls, pushes of typed values, and forward or backward jumps to labels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela::templategen {

// Single-byte actions (no payload).
enum class Op : std::uint8_t {
    Play = 0x06,
    Stop = 0x07,
    Subtract = 0x0B,
    Multiply = 0x0C,
    Divide = 0x0D,
    Not = 0x12,
    Pop = 0x17,
    ToInteger = 0x18,
    GetVariable = 0x1C,
    SetVariable = 0x1D,
    Modulo = 0x3F,
    Add2 = 0x47,
    Less2 = 0x48,
    Equals2 = 0x49,
    ToNumber = 0x4A,
    GetMember = 0x4E,
    SetMember = 0x4F,
    CallMethod = 0x52,
    Greater = 0x67,
};

// One value of an ActionPush.
struct Value {
    enum Type : std::uint8_t { String = 0, Null = 2, Undefined = 3, Boolean = 5, Integer = 7,
                               Constant8 = 8 };
    Type type;
    std::string text;
    std::int32_t number = 0;
};
inline Value Str(std::string s) { return {Value::String, std::move(s), 0}; }
inline Value Int(std::int32_t v) { return {Value::Integer, {}, v}; }
inline Value Bool(bool v) { return {Value::Boolean, {}, v ? 1 : 0}; }
inline Value Const(std::uint8_t index) { return {Value::Constant8, {}, index}; }
inline Value Undefined() { return {Value::Undefined, {}, 0}; }

class CAvm1Assembler {
public:
    using Label = int;

    CAvm1Assembler& ConstantPool(const std::vector<std::string>& strings);
    CAvm1Assembler& Push(const std::vector<Value>& values);
    CAvm1Assembler& Do(Op op);
    // Frame index from 0 (frame 1 is 0); the timeline stops there unless Play follows.
    CAvm1Assembler& GotoFrame(std::uint16_t frameIndex);

    Label NewLabel();
    CAvm1Assembler& Bind(Label label);
    CAvm1Assembler& Jump(Label label);
    // Pops a condition; jumps when it is true.
    CAvm1Assembler& JumpIf(Label label);

    // The actions with every jump resolved and the ActionEndFlag appended.
    std::vector<std::uint8_t> Finish() const;

private:
    void Record(std::uint8_t code, const std::vector<std::uint8_t>& payload);
    struct Fixup {
        std::size_t at;  // offset of the SI16 branch offset
        Label label;
    };
    std::vector<std::uint8_t> code_;
    std::vector<long> labels_;
    std::vector<Fixup> fixups_;
};

}  // namespace tonvela::templategen
