// node check_swf.mjs MP3 FPS SWF...: reads each SWF with the open-flash swf-parser and checks it
// against the MP3 it was written from: header frame count = ShowFrame tags, header frame rate,
// every tag parsed, and the MP3 bytes carried whole (streaming: the blocks in order, one block
// in every frame from the first to the last; event: the DefineSound data). Exit 1 on a failure.
import fs from "fs";
import path from "path";

const modules = process.env.NODE_MODULES;
const { parseSwf } = await import(path.join(modules, "swf-parser/lib/index.mjs"));
const { TagType } = await import(path.join(modules, "swf-types/lib/index.mjs"));

const [mp3Path, fpsText, ...swfs] = process.argv.slice(2);
const mp3 = fs.readFileSync(mp3Path);
const fps = Number(fpsText);
let failures = 0;

function check(name, cond, what) {
  if (!cond) {
    failures++;
    console.log(`FAIL ${name}: ${what}`);
  }
  return cond;
}

const equalBytes = (a, b) => a.length === b.length && a.every((x, i) => x === b[i]);

for (const swfPath of swfs) {
  const name = path.basename(swfPath);
  const before = failures;
  let movie;
  try {
    movie = parseSwf(fs.readFileSync(swfPath));
  } catch (e) {
    check(name, false, `not parsed: ${e}`);
    continue;
  }
  const tags = movie.tags;
  const showFrames = tags.filter((t) => t.type === TagType.ShowFrame).length;
  check(name, !tags.some((t) => t.type === TagType.Raw || t.type === TagType.RawBody), "a tag could not be parsed");
  check(name, movie.header.frameCount === showFrames, `frame count ${movie.header.frameCount}, ShowFrame tags ${showFrames}`);

  const head = tags.find((t) => t.type === TagType.SoundStreamHead && t.streamFormat === 2);
  const define = tags.find((t) => t.type === TagType.DefineSound);
  check(name, movie.header.frameRate.epsilons === fps * 256, `frame rate ${movie.header.frameRate.epsilons / 256}`);
  if (head) {
    // Blocks: SampleCount, SeekSamples, then MP3 frames.
    const blocks = [];
    let frame = 0;
    for (const t of tags) {
      if (t.type === TagType.ShowFrame) frame++;
      if (t.type === TagType.SoundStreamBlock) blocks.push({ frame, data: Uint8Array.from(t.data) });
    }
    const data = Buffer.concat(blocks.map((b) => Buffer.from(b.data.subarray(4))));
    check(name, equalBytes(data, mp3), `blocks carry ${data.length} of ${mp3.length} MP3 bytes`);
    check(name, blocks.every((b, i) => b.frame === blocks[0].frame + i), "a frame without a block inside the sound");
    const rate = { 11000: 11025, 22000: 22050, 44000: 44100 }[head.streamSoundRate];
    check(name, head.streamSampleCount === Math.floor(rate / fps), `StreamSoundSampleCount ${head.streamSampleCount}`);
  } else if (check(name, define !== undefined, "neither stream nor DefineSound")) {
    check(name, equalBytes(Uint8Array.from(define.data).subarray(2), mp3), "DefineSound does not carry the MP3");
  }
  if (failures === before) console.log(`ok   ${name}: ${tags.length} tags, ${showFrames} frames`);
}
process.exit(failures ? 1 : 0);
