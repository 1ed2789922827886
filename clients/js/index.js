export { Varnel, DEFAULT_BASE_URL, approvalOf, newRequestId } from "./varnel.js";
export { VarnelError, ErrorCode, hints, translatedHints, errorFromReply } from "./errors.js";
export { Receipt } from "./receipt.js";
