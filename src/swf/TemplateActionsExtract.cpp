#include "swf/TemplateActionsExtract.h"

namespace tonvela {

bool ExtractTemplateActions(const CSwfTemplate& tmpl, TemplateActions& actions) {
    actions.Clear();
    ActionTag* const slots[] = {&actions.startPlay, &actions.startStop, &actions.endLoop,
                                &actions.endStop};
    const std::vector<std::uint8_t>& bytes = tmpl.Bytes();
    int frame = -2;  // frame 3 of the template is slot 0
    for (const TemplateTag& t : tmpl.Tags()) {
        if (t.code == kTagShowFrame) {
            ++frame;
        } else if (t.code == kTagDoAction && frame >= 0 && frame < 4) {
            ActionTag& slot = *slots[frame];
            slot.Clear();
            slot.bytes.assign(bytes.begin() + t.offset, bytes.begin() + t.offset + t.length);
        }
    }
    return actions.Complete();
}

}  // namespace tonvela
