// Runs the Khronos glTF validator on one file:
//   node validate.js VALIDATOR_FOLDER FILE
// Prints the errors and exits 1 when there are any, 2 when the file could not be validated.
'use strict';
const fs = require('fs');
const path = require('path');

const [validatorDir, file] = process.argv.slice(2);
let validator;
try {
  validator = require(validatorDir);
} catch (e) {
  console.log(`the glTF validator is not installed in ${validatorDir} (ctest installs it): ${e.message}`);
  process.exit(2);
}
const folder = path.dirname(file);
validator
  .validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      new Promise((resolve, reject) => {
        try {
          resolve(new Uint8Array(fs.readFileSync(path.join(folder, decodeURIComponent(uri)))));
        } catch (e) {
          reject(e.toString());
        }
      }),
  })
  .then((report) => {
    const issues = report.issues;
    for (const m of issues.messages)
      if (m.severity === 0) console.log(`${file}: ${m.code} at ${m.pointer || '/'}: ${m.message}`);
    process.exit(issues.numErrors > 0 ? 1 : 0);
  })
  .catch((e) => {
    console.log(`${file}: the validator failed: ${e}`);
    process.exit(2);
  });
