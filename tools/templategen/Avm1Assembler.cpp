#include "Avm1Assembler.h"

#include <cstdio>
#include <cstdlib>

namespace tonvela::templategen {

void CAvm1Assembler::Record(std::uint8_t code, const std::vector<std::uint8_t>& payload) {
    code_.push_back(code);
    code_.push_back(static_cast<std::uint8_t>(payload.size()));
    code_.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    code_.insert(code_.end(), payload.begin(), payload.end());
}

CAvm1Assembler& CAvm1Assembler::ConstantPool(const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> p = {static_cast<std::uint8_t>(strings.size()),
                                   static_cast<std::uint8_t>(strings.size() >> 8)};
    for (const std::string& s : strings) {
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
    }
    Record(0x88, p);
    return *this;
}

CAvm1Assembler& CAvm1Assembler::Push(const std::vector<Value>& values) {
    std::vector<std::uint8_t> p;
    for (const Value& v : values) {
        p.push_back(v.type);
        switch (v.type) {
        case Value::String:
            p.insert(p.end(), v.text.begin(), v.text.end());
            p.push_back(0);
            break;
        case Value::Boolean:
        case Value::Constant8:
            p.push_back(static_cast<std::uint8_t>(v.number));
            break;
        case Value::Integer:
            for (int i = 0; i < 4; ++i)
                p.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v.number) >> (8 * i)));
            break;
        default:
            break;
        }
    }
    Record(0x96, p);
    return *this;
}

CAvm1Assembler& CAvm1Assembler::Do(Op op) {
    code_.push_back(static_cast<std::uint8_t>(op));
    return *this;
}

CAvm1Assembler& CAvm1Assembler::GotoFrame(std::uint16_t frameIndex) {
    Record(0x81, {static_cast<std::uint8_t>(frameIndex), static_cast<std::uint8_t>(frameIndex >> 8)});
    return *this;
}

CAvm1Assembler::Label CAvm1Assembler::NewLabel() {
    labels_.push_back(-1);
    return static_cast<Label>(labels_.size() - 1);
}

CAvm1Assembler& CAvm1Assembler::Bind(Label label) {
    labels_.at(static_cast<std::size_t>(label)) = static_cast<long>(code_.size());
    return *this;
}

CAvm1Assembler& CAvm1Assembler::Jump(Label label) {
    Record(0x99, {0, 0});
    fixups_.push_back({code_.size() - 2, label});
    return *this;
}

CAvm1Assembler& CAvm1Assembler::JumpIf(Label label) {
    Record(0x9D, {0, 0});
    fixups_.push_back({code_.size() - 2, label});
    return *this;
}

std::vector<std::uint8_t> CAvm1Assembler::Finish() const {
    std::vector<std::uint8_t> out = code_;
    for (const Fixup& f : fixups_) {
        const long target = labels_.at(static_cast<std::size_t>(f.label));
        if (target < 0) {
            std::fprintf(stderr, "make_templates: unbound label in an action script\n");
            std::abort();
        }
        // Branch offsets count from the end of the branch action.
        const long offset = target - static_cast<long>(f.at + 2);
        out[f.at] = static_cast<std::uint8_t>(offset);
        out[f.at + 1] = static_cast<std::uint8_t>(offset >> 8);
    }
    out.push_back(0x00);
    return out;
}

}  // namespace tonvela::templategen
