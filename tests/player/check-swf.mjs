// Parses SWF files with independent parsers (swf-parser, avm1-parser): every tag must parse,
// nested sprites included, and every action list (frame actions, button actions) must decode to
// known actions whose jumps land on action boundaries.
//   node check-swf.mjs FILE...     exit 0 when all pass; prints one line per file
import fs from "node:fs";
import { parseSwf } from "swf-parser";
import { TagType } from "swf-types";
import { Avm1Parser } from "avm1-parser";
import { ActionType } from "avm1-types/action-type";

function checkActions(bytes, where, problems) {
  const parser = new Avm1Parser(bytes);
  const starts = new Set();
  const jumps = [];
  let sawEnd = false;
  for (let guard = 0; guard < 100000; guard++) {
    const at = parser.getBytePos();
    if (at >= bytes.length) break;
    starts.add(at);
    const action = parser.readNext();
    if (action.action === ActionType.Raw || action.action === ActionType.Error) {
      problems.push(`${where}: undecodable action at ${at}`);
      return;
    }
    if (action.action === ActionType.End) { sawEnd = true; starts.add(parser.getBytePos()); break; }
    if (action.action === ActionType.Jump || action.action === ActionType.If)
      jumps.push([at, parser.getBytePos() + action.offset]);
  }
  if (!sawEnd) problems.push(`${where}: no ActionEndFlag`);
  for (const [at, target] of jumps)
    if (!starts.has(target)) problems.push(`${where}: jump at ${at} lands inside an action (${target})`);
}

function checkTags(tags, where, problems, counts) {
  for (const [i, tag] of tags.entries()) {
    const here = `${where}/tag ${i}`;
    if (tag.type === TagType.Raw || tag.type === TagType.RawBody) {
      problems.push(`${here}: tag code ${tag.code ?? "?"} did not parse`);
      continue;
    }
    if (tag.type === TagType.DoAction) { counts.actions++; checkActions(tag.actions, here, problems); }
    if (tag.type === TagType.DefineButton)
      for (const [j, ca] of tag.actions.entries()) { counts.actions++; checkActions(ca.actions, `${here}/cond ${j}`, problems); }
    if (tag.type === TagType.DefineSprite) checkTags(tag.tags, here, problems, counts);
  }
}

let failed = 0;
for (const file of process.argv.slice(2)) {
  const problems = [];
  const counts = { actions: 0 };
  try {
    const movie = parseSwf(fs.readFileSync(file));
    checkTags(movie.tags, file, problems, counts);
    if (problems.length === 0)
      console.log(`ok ${file}: ${movie.tags.length} tags, ${counts.actions} action lists`);
  } catch (e) {
    problems.push(`${file}: ${e.message ?? e}`);
  }
  for (const p of problems) console.log(`FAIL ${p}`);
  if (problems.length) failed++;
}
process.exit(failed ? 1 : 0);
