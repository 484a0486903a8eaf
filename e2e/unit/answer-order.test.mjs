// The order in which overtaking answers may be applied, loaded straight from the page's module.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/answer-order.js", import.meta.url)), "utf8");
const { answerOrder } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("only the answer to the last request is applied, whichever answer comes back first", () => {
  const order = answerOrder();
  const beforeSave = order.issue();
  const afterSave = order.issue();
  assert.equal(order.accept(afterSave), true);
  assert.equal(order.accept(beforeSave), false, "the poll's answer from before the save came back last");
  const march = order.issue();
  const april = order.issue();
  assert.equal(order.accept(march), false, "March came back first but April was asked for since");
  assert.equal(order.accept(april), true);
  const again = order.issue();
  assert.equal(order.accept(again), true);
});
