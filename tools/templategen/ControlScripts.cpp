#include "ControlScripts.h"

#include "Avm1Assembler.h"

namespace tonvela::templategen {

namespace {

using A = CAvm1Assembler;

// First frame of the sound: frame 1 of a single SWF holds the start action and the controls.
int FirstSoundFrame(const ControlContext& c) { return c.mode == Mode::Single ? 2 : 1; }

void Root(A& a) { a.Push({Str("_parent")}).Do(Op::GetVariable); }
void SoundClip(A& a, const ControlContext& c) {
    Root(a);
    if (c.mode == Mode::Shell) a.Push({Str("snd")}).Do(Op::GetMember);
}
void MovieProp(A& a, const ControlContext& c, const char* prop) {
    SoundClip(a, c);
    a.Push({Str(prop)}).Do(Op::GetMember);
}
void RootVar(A& a, const char* name) {
    Root(a);
    a.Push({Str(name)}).Do(Op::GetMember);
}
void SetRootVar(A& a, const char* name, int value) {
    Root(a);
    a.Push({Str(name), Int(value)}).Do(Op::SetMember);
}
void Var(A& a, const char* name) { a.Push({Str(name)}).Do(Op::GetVariable); }
// movie.method() or movie.method(<argument on the stack>)
void CallMovie(A& a, const ControlContext& c, const char* method, bool withArgument) {
    a.Push({Int(withArgument ? 1 : 0)});
    SoundClip(a, c);
    a.Push({Str(method)}).Do(Op::CallMethod).Do(Op::Pop);
}
// if (name < 0) name = 0;
void AtLeastZero(A& a, const char* name) {
    const auto ok = a.NewLabel();
    Var(a, name);
    a.Push({Int(0)}).Do(Op::Less2).Do(Op::Not).JumpIf(ok);
    a.Push({Str(name), Int(0)}).Do(Op::SetVariable);
    a.Bind(ok);
}
// if (name > limit) name = limit;  (limit a variable)
void AtMost(A& a, const char* name, const char* limit) {
    const auto ok = a.NewLabel();
    Var(a, name);
    Var(a, limit);
    a.Do(Op::Greater).Do(Op::Not).JumpIf(ok);
    a.Push({Str(name)});
    Var(a, limit);
    a.Do(Op::SetVariable);
    a.Bind(ok);
}
// Leaves on the stack: the whole seconds of variable `seconds` as "m:ss".
void MinutesSeconds(A& a, const char* seconds) {
    // tvSec = int(seconds); tvMin = int(tvSec / 60); tvRem = tvSec - tvMin * 60;
    a.Push({Str("tvSec")});
    Var(a, seconds);
    a.Do(Op::ToInteger).Do(Op::SetVariable);
    a.Push({Str("tvMin")});
    Var(a, "tvSec");
    a.Push({Int(60)}).Do(Op::Divide).Do(Op::ToInteger).Do(Op::SetVariable);
    a.Push({Str("tvRem")});
    Var(a, "tvSec");
    Var(a, "tvMin");
    a.Push({Int(60)}).Do(Op::Multiply).Do(Op::Subtract).Do(Op::SetVariable);
    // tvMin + ":" + (tvRem < 10 ? "0" : "") + tvRem
    const auto twoDigits = a.NewLabel();
    Var(a, "tvMin");
    a.Push({Str(":")}).Do(Op::Add2);
    Var(a, "tvRem");
    a.Push({Int(10)}).Do(Op::Less2).Do(Op::Not).JumpIf(twoDigits);
    a.Push({Str("0")}).Do(Op::Add2);
    a.Bind(twoDigits);
    Var(a, "tvRem");
    a.Do(Op::Add2);
}
// var = value (a constant)
void SetVar(A& a, const char* name, int value) { a.Push({Str(name), Int(value)}).Do(Op::SetVariable); }

const std::vector<std::string> kStartPool = {"tvInit", "tvPlaying", "tvFps"};

// tvFps = 12: the writer stores the movie's frame rate over the 12.
void FrameRateLiteral(A& a) { a.Push({Const(2), Int(12)}).Do(Op::SetVariable); }

}  // namespace

Bytes StartPlayActions(bool time) {
    // [tvFps = 12;] if (tvInit != 1) { tvInit = 1; tvPlaying = 1; }
    // No play(): the movie plays on by itself, and the stop button's gotoAndStop(1) must not
    // start it again when it passes through this frame.
    A a;
    a.ConstantPool(kStartPool);
    if (time) FrameRateLiteral(a);
    const auto done = a.NewLabel();
    a.Push({Const(0)}).Do(Op::GetVariable).Push({Int(1)}).Do(Op::Equals2).JumpIf(done);
    a.Push({Const(0), Int(1)}).Do(Op::SetVariable);
    a.Push({Const(1), Int(1)}).Do(Op::SetVariable);
    a.Bind(done);
    return a.Finish();
}

Bytes StartStopActions(bool time) {
    // [tvFps = 12;] tvInit = 1; tvPlaying = 0; stop();
    A a;
    a.ConstantPool(kStartPool);
    if (time) FrameRateLiteral(a);
    a.Push({Const(0), Int(1)}).Do(Op::SetVariable);
    a.Push({Const(1), Int(0)}).Do(Op::SetVariable);
    a.Do(Op::Stop);
    return a.Finish();
}

Bytes EndLoopActions() {
    // gotoAndPlay(2): frame 1 holds the start action, which may be a stop.
    A a;
    a.GotoFrame(1).Do(Op::Play);
    return a.Finish();
}

Bytes EndStopActions() {
    // tvPlaying = 0; stop();
    A a;
    a.Push({Str("tvPlaying"), Int(0)}).Do(Op::SetVariable).Do(Op::Stop);
    return a.Finish();
}

Bytes PlainStartPlayActions() {
    A a;
    a.Do(Op::Play);
    return a.Finish();
}

Bytes PlainStartStopActions() {
    A a;
    a.Do(Op::Stop);
    return a.Finish();
}

Bytes TemplateStopActions() {
    A a;
    a.Do(Op::Stop);
    return a.Finish();
}

Bytes PlayerInitActions() {
    // stop(); tvPlaying = (autoplay != "0"); if (soundswf != undefined) snd.loadMovie(soundswf);
    A a;
    a.Do(Op::Stop);
    a.Push({Str("tvPlaying")});
    Var(a, "autoplay");
    a.Push({Str("0")}).Do(Op::Equals2).Do(Op::Not).Do(Op::SetVariable);
    const auto none = a.NewLabel();
    Var(a, "soundswf");
    a.Push({Undefined()}).Do(Op::Equals2).JumpIf(none);
    Var(a, "soundswf");
    a.Push({Int(1), Str("snd")}).Do(Op::GetVariable).Push({Str("loadMovie")}).Do(Op::CallMethod).Do(Op::Pop);
    a.Bind(none);
    return a.Finish();
}

Bytes PlayButtonActions(const ControlContext& c) {
    // _parent.tvPlaying = 1;
    // if (m._currentframe < m._totalframes) m.play(); else m.gotoAndPlay(first);
    A a;
    SetRootVar(a, "tvPlaying", 1);
    const auto play = a.NewLabel(), done = a.NewLabel();
    MovieProp(a, c, "_currentframe");
    MovieProp(a, c, "_totalframes");
    a.Do(Op::Less2).JumpIf(play);
    a.Push({Int(FirstSoundFrame(c))});
    CallMovie(a, c, "gotoAndPlay", true);
    a.Jump(done);
    a.Bind(play);
    CallMovie(a, c, "play", false);
    a.Bind(done);
    return a.Finish();
}

Bytes PauseButtonActions(const ControlContext& c) {
    // _parent.tvPlaying = 0; m.stop();
    A a;
    SetRootVar(a, "tvPlaying", 0);
    CallMovie(a, c, "stop", false);
    return a.Finish();
}

Bytes StopButtonActions(const ControlContext& c) {
    // _parent.tvPlaying = 0; m.gotoAndStop(1);
    A a;
    SetRootVar(a, "tvPlaying", 0);
    a.Push({Int(1)});
    CallMovie(a, c, "gotoAndStop", true);
    return a.Finish();
}

Bytes SeekButtonActions(const ControlContext& c) {
    // tvF = (_xmouse - x0) / width, limited to 0..1;
    // tvG = first + int(tvF * (m._totalframes - first));
    // if (_parent.tvPlaying) m.gotoAndPlay(tvG); else m.gotoAndStop(tvG);
    A a;
    const int first = FirstSoundFrame(c);
    a.Push({Str("tvF")});
    Var(a, "_xmouse");
    a.Push({Int(c.trackX0)}).Do(Op::Subtract).Push({Int(c.trackWidth)}).Do(Op::Divide).Do(Op::SetVariable);
    AtLeastZero(a, "tvF");
    SetVar(a, "tvOne", 1);
    AtMost(a, "tvF", "tvOne");
    a.Push({Str("tvG"), Int(first)});
    Var(a, "tvF");
    MovieProp(a, c, "_totalframes");
    a.Push({Int(first)}).Do(Op::Subtract).Do(Op::Multiply).Do(Op::ToInteger).Do(Op::Add2).Do(Op::SetVariable);
    const auto playing = a.NewLabel(), done = a.NewLabel();
    RootVar(a, "tvPlaying");
    a.JumpIf(playing);
    Var(a, "tvG");
    CallMovie(a, c, "gotoAndStop", true);
    a.Jump(done);
    a.Bind(playing);
    Var(a, "tvG");
    CallMovie(a, c, "gotoAndPlay", true);
    a.Bind(done);
    return a.Finish();
}

Bytes TickActions(const ControlContext& c) {
    A a;
    if (c.mode == Mode::Shell) {
        // if (!_parent.tvPlaying) m.stop();
        // else if (_parent.loops != "1" && m._totalframes > 1 && m._currentframe >= m._totalframes)
        //     { _parent.tvPlaying = 0; m.stop(); }
        const auto playing = a.NewLabel(), done = a.NewLabel();
        RootVar(a, "tvPlaying");
        a.JumpIf(playing);
        CallMovie(a, c, "stop", false);
        a.Jump(done);
        a.Bind(playing);
        RootVar(a, "loops");
        a.Push({Str("1")}).Do(Op::Equals2).JumpIf(done);
        MovieProp(a, c, "_totalframes");
        a.Push({Int(1)}).Do(Op::Greater).Do(Op::Not).JumpIf(done);
        MovieProp(a, c, "_currentframe");
        MovieProp(a, c, "_totalframes");
        a.Do(Op::Less2).JumpIf(done);
        SetRootVar(a, "tvPlaying", 0);
        CallMovie(a, c, "stop", false);
        a.Bind(done);
    }
    // Play and pause share a place: show the one that applies.
    for (const std::string& name : c.showWhenStopped) {
        a.Push({Str(name)}).Do(Op::GetVariable).Push({Str("_visible")});
        RootVar(a, "tvPlaying");
        a.Do(Op::Not).Do(Op::SetMember);
    }
    for (const std::string& name : c.showWhenPlaying) {
        a.Push({Str(name)}).Do(Op::GetVariable).Push({Str("_visible")});
        RootVar(a, "tvPlaying");
        a.Do(Op::Not).Do(Op::Not).Do(Op::SetMember);
    }
    if (c.time) {
        if (c.mode == Mode::Single) {
            // tvRate = _parent.tvFps (12 when unset);
            // tvE = (m._currentframe - 2) / tvRate; tvT = (m._totalframes - 2) / tvRate;
            a.Push({Str("tvRate")});
            RootVar(a, "tvFps");
            a.Do(Op::SetVariable);
            const auto rateOk = a.NewLabel();
            Var(a, "tvRate");
            a.Push({Int(0)}).Do(Op::Greater).JumpIf(rateOk);
            SetVar(a, "tvRate", 12);
            a.Bind(rateOk);
            for (auto [name, prop] : {std::pair{"tvE", "_currentframe"}, std::pair{"tvT", "_totalframes"}}) {
                a.Push({Str(name)});
                MovieProp(a, c, prop);
                a.Push({Int(2)}).Do(Op::Subtract);
                Var(a, "tvRate");
                a.Do(Op::Divide).Do(Op::SetVariable);
            }
        } else {
            // tvT = Number(_parent.duration) (0 when unset);
            // tvE = m._totalframes > 1 ? tvT * (m._currentframe - 1) / (m._totalframes - 1) : 0;
            a.Push({Str("tvT")});
            RootVar(a, "duration");
            a.Do(Op::ToNumber).Do(Op::SetVariable);
            const auto durationOk = a.NewLabel(), noFrames = a.NewLabel();
            Var(a, "tvT");
            a.Push({Int(0)}).Do(Op::Greater).JumpIf(durationOk);
            SetVar(a, "tvT", 0);
            a.Bind(durationOk);
            SetVar(a, "tvE", 0);
            MovieProp(a, c, "_totalframes");
            a.Push({Int(1)}).Do(Op::Greater).Do(Op::Not).JumpIf(noFrames);
            a.Push({Str("tvE")});
            Var(a, "tvT");
            MovieProp(a, c, "_currentframe");
            a.Push({Int(1)}).Do(Op::Subtract).Do(Op::Multiply);
            MovieProp(a, c, "_totalframes");
            a.Push({Int(1)}).Do(Op::Subtract).Do(Op::Divide).Do(Op::SetVariable);
            a.Bind(noFrames);
        }
        AtLeastZero(a, "tvE");
        AtLeastZero(a, "tvT");
        AtMost(a, "tvE", "tvT");
        // tvTime = m:ss(tvE) + " / " + m:ss(tvT);  (the time text shows tvTime)
        a.Push({Str("tvTime")});
        MinutesSeconds(a, "tvE");
        a.Push({Str(" / ")}).Do(Op::Add2);
        MinutesSeconds(a, "tvT");
        a.Do(Op::Add2).Do(Op::SetVariable);
    }
    if (c.track) {
        // tvP = m._totalframes > first ? (m._currentframe - first) / (m._totalframes - first) : 0,
        // limited to 0..1; bar._xscale = tvP * 100; knob._x = x0 + tvP * width;
        const int first = FirstSoundFrame(c);
        const auto none = a.NewLabel();
        SetVar(a, "tvP", 0);
        MovieProp(a, c, "_totalframes");
        a.Push({Int(first)}).Do(Op::Greater).Do(Op::Not).JumpIf(none);
        a.Push({Str("tvP")});
        MovieProp(a, c, "_currentframe");
        a.Push({Int(first)}).Do(Op::Subtract);
        MovieProp(a, c, "_totalframes");
        a.Push({Int(first)}).Do(Op::Subtract).Do(Op::Divide).Do(Op::SetVariable);
        a.Bind(none);
        AtLeastZero(a, "tvP");
        SetVar(a, "tvOne", 1);
        AtMost(a, "tvP", "tvOne");
        a.Push({Str("bar")}).Do(Op::GetVariable).Push({Str("_xscale")});
        Var(a, "tvP");
        a.Push({Int(100)}).Do(Op::Multiply).Do(Op::SetMember);
        a.Push({Str("knob")}).Do(Op::GetVariable).Push({Str("_x"), Int(c.trackX0)});
        Var(a, "tvP");
        a.Push({Int(c.trackWidth)}).Do(Op::Multiply).Do(Op::Add2).Do(Op::SetMember);
    }
    return a.Finish();
}

}  // namespace tonvela::templategen
