// Errors of the Varnel client: every failure carries a stable `code` and a `hint` written for the
// person at the till, so an application can show the hint as it is and branch on the code.

export const ErrorCode = Object.freeze({
  NOT_RUNNING: "not-running",
  CERTIFICATE_NOT_TRUSTED: "certificate-not-trusted",
  UNREACHABLE: "unreachable",
  PERMISSION_DENIED: "permission-denied",
  KEY_REFUSED: "key-refused",
  ORIGIN_REFUSED: "origin-refused",
  TIMEOUT: "timeout",
  NOT_SUPPORTED: "not-supported",
  INVALID_REQUEST: "invalid-request",
  PRINTER_NOT_FOUND: "printer-not-found",
  PRINTER_NOT_READY: "printer-not-ready",
  CUPS_NOT_ANSWERING: "cups-not-answering",
  PRINT_FAILED: "print-failed",
  INVALID_JOB: "invalid-job",
  JOB_NOT_FOUND: "job-not-found",
  JOB_FAILED: "job-failed",
  TERMINAL_NOT_FOUND: "terminal-not-found",
  TERMINAL_OFFLINE: "terminal-offline",
  TERMINAL_BUSY: "terminal-busy",
  OUTCOME_UNKNOWN: "outcome-unknown",
  PRINT_OUTCOME_UNKNOWN: "print-outcome-unknown",
  REQUEST_ID_REUSED: "request-id-reused",
  JOURNAL_UNAVAILABLE: "journal-unavailable",
  FAILED: "failed",
});

const C = ErrorCode;

export const hints = Object.freeze({
  [C.NOT_RUNNING]: "Varnel is not running on this computer. Start Varnel from the applications menu and try again.",
  [C.CERTIFICATE_NOT_TRUSTED]:
    'This browser does not trust Varnel yet. Open Varnel\'s window, click "Trust", then reload the page.',
  [C.UNREACHABLE]:
    'Varnel cannot be reached. Check that Varnel is running; if it is, open its window, click "Trust" and reload the page.',
  [C.PERMISSION_DENIED]:
    "The browser blocks this page from reaching Varnel. Allow local network access for this site in the browser's site settings, then reload the page.",
  [C.KEY_REFUSED]:
    "Varnel refused the security key. Copy the key shown in Varnel's window into the invoicing application's settings.",
  [C.ORIGIN_REFUSED]: "Varnel does not accept requests from this web address. Open the invoicing application from its usual address.",
  [C.TIMEOUT]: "Varnel did not answer in time. Check the printer or the terminal before trying again.",
  [C.NOT_SUPPORTED]: "This version of Varnel cannot do this. Update Varnel.",
  [C.INVALID_REQUEST]: "The invoicing application sent Varnel a request it cannot read. Tell support.",
  [C.PRINTER_NOT_FOUND]: "The printer is not enabled in Varnel. Open Varnel's window and tick the printer in its list.",
  [C.PRINTER_NOT_READY]: "The printer is not ready. Check the paper, the cover and the cable, then print again.",
  [C.CUPS_NOT_ANSWERING]: "The computer's printing system is not answering. Wait a moment and print again.",
  [C.PRINT_FAILED]: "The printing system refused the receipt. Check the printer in the system's settings and print again.",
  [C.INVALID_JOB]: "The receipt cannot be printed as the application wrote it. Tell support.",
  [C.JOB_NOT_FOUND]: "The printing system no longer knows this receipt. Check whether it printed.",
  [C.JOB_FAILED]: "The receipt did not print. Check the printer and print it again.",
  [C.TERMINAL_NOT_FOUND]: "The payment terminal is not enabled in Varnel. Check its cable and enable it in Varnel's window.",
  [C.TERMINAL_OFFLINE]: "The payment terminal is disconnected. Check its cable and power.",
  [C.TERMINAL_BUSY]: "The payment terminal is busy with another operation. Wait until it has finished and try again.",
  [C.OUTCOME_UNKNOWN]:
    "The payment terminal's answer did not arrive. Check the terminal's screen or its last receipt before charging again.",
  [C.PRINT_OUTCOME_UNKNOWN]: "The receipt may or may not have printed. Look at the printer before printing it again.",
  [C.REQUEST_ID_REUSED]: "The application reused an operation number for another operation. Tell support.",
  [C.JOURNAL_UNAVAILABLE]:
    "Varnel cannot record operations now (disk full or not writable). Free disk space or restart Varnel before trying again.",
  [C.FAILED]: "Varnel could not do this. Try again; if it keeps failing, tell support.",
});

// The same hints in European Portuguese and Spanish, chosen with the client's `language` option.
export const translatedHints = Object.freeze({
  pt: Object.freeze({
    [C.NOT_RUNNING]: "O Varnel não está a funcionar neste computador. Inicie-o a partir do menu de aplicações e tente de novo.",
    [C.CERTIFICATE_NOT_TRUSTED]: 'Este navegador ainda não confia no Varnel. Abra a janela do Varnel, clique em "Confiar" e recarregue a página.',
    [C.UNREACHABLE]: 'Não foi possível contactar o Varnel. Verifique se está a funcionar; se estiver, clique em "Confiar" na sua janela e recarregue a página.',
    [C.PERMISSION_DENIED]: "O navegador impede esta página de contactar o Varnel. Permita o acesso à rede local nas definições do site e recarregue a página.",
    [C.KEY_REFUSED]: "O Varnel recusou a chave de segurança. Copie a chave mostrada na janela do Varnel para as definições da aplicação de faturação.",
    [C.ORIGIN_REFUSED]: "O Varnel não aceita pedidos deste endereço. Abra a aplicação de faturação a partir do endereço habitual.",
    [C.TIMEOUT]: "O Varnel não respondeu a tempo. Verifique a impressora ou o terminal antes de tentar de novo.",
    [C.NOT_SUPPORTED]: "Esta versão do Varnel não faz isto. Atualize o Varnel.",
    [C.INVALID_REQUEST]: "A aplicação de faturação enviou um pedido que o Varnel não entende. Contacte o suporte.",
    [C.PRINTER_NOT_FOUND]: "A impressora não está ativa no Varnel. Abra a janela do Varnel e assinale a impressora na lista.",
    [C.PRINTER_NOT_READY]: "A impressora não está pronta. Verifique o papel, a tampa e o cabo e imprima de novo.",
    [C.CUPS_NOT_ANSWERING]: "O sistema de impressão do computador não responde. Aguarde um momento e imprima de novo.",
    [C.PRINT_FAILED]: "O sistema de impressão recusou o talão. Verifique a impressora nas definições do sistema e imprima de novo.",
    [C.INVALID_JOB]: "O talão não pode ser impresso tal como a aplicação o escreveu. Contacte o suporte.",
    [C.JOB_NOT_FOUND]: "O sistema de impressão já não conhece este talão. Verifique se foi impresso.",
    [C.JOB_FAILED]: "O talão não foi impresso. Verifique a impressora e imprima-o de novo.",
    [C.TERMINAL_NOT_FOUND]: "O terminal de pagamento não está ativo no Varnel. Verifique o cabo e ative-o na janela do Varnel.",
    [C.TERMINAL_OFFLINE]: "O terminal de pagamento está desligado. Verifique o cabo e a alimentação.",
    [C.TERMINAL_BUSY]: "O terminal de pagamento está ocupado com outra operação. Aguarde que termine e tente de novo.",
    [C.OUTCOME_UNKNOWN]: "A resposta do terminal de pagamento não chegou. Veja o ecrã do terminal ou o último talão antes de cobrar de novo.",
    [C.PRINT_OUTCOME_UNKNOWN]: "O talão pode ter sido impresso ou não. Veja a impressora antes de o imprimir de novo.",
    [C.REQUEST_ID_REUSED]: "A aplicação reutilizou o número de uma operação noutra operação. Contacte o suporte.",
    [C.JOURNAL_UNAVAILABLE]: "O Varnel não consegue registar operações (disco cheio ou protegido). Liberte espaço ou reinicie o Varnel antes de tentar de novo.",
    [C.FAILED]: "O Varnel não conseguiu fazer isto. Tente de novo; se continuar a falhar, contacte o suporte.",
  }),
  es: Object.freeze({
    [C.NOT_RUNNING]: "Varnel no está en marcha en este ordenador. Inícielo desde el menú de aplicaciones e inténtelo de nuevo.",
    [C.CERTIFICATE_NOT_TRUSTED]: 'Este navegador todavía no confía en Varnel. Abra la ventana de Varnel, pulse "Confiar" y recargue la página.',
    [C.UNREACHABLE]: 'No se puede contactar con Varnel. Compruebe que está en marcha; si lo está, pulse "Confiar" en su ventana y recargue la página.',
    [C.PERMISSION_DENIED]: "El navegador impide que esta página contacte con Varnel. Permita el acceso a la red local en la configuración del sitio y recargue la página.",
    [C.KEY_REFUSED]: "Varnel rechazó la clave de seguridad. Copie la clave que muestra la ventana de Varnel en la configuración de la aplicación de facturación.",
    [C.ORIGIN_REFUSED]: "Varnel no acepta peticiones desde esta dirección. Abra la aplicación de facturación desde su dirección habitual.",
    [C.TIMEOUT]: "Varnel no respondió a tiempo. Compruebe la impresora o el terminal antes de intentarlo de nuevo.",
    [C.NOT_SUPPORTED]: "Esta versión de Varnel no puede hacer esto. Actualice Varnel.",
    [C.INVALID_REQUEST]: "La aplicación de facturación envió una petición que Varnel no entiende. Avise al soporte.",
    [C.PRINTER_NOT_FOUND]: "La impresora no está activada en Varnel. Abra la ventana de Varnel y marque la impresora en la lista.",
    [C.PRINTER_NOT_READY]: "La impresora no está lista. Compruebe el papel, la tapa y el cable, y vuelva a imprimir.",
    [C.CUPS_NOT_ANSWERING]: "El sistema de impresión del ordenador no responde. Espere un momento y vuelva a imprimir.",
    [C.PRINT_FAILED]: "El sistema de impresión rechazó el tique. Compruebe la impresora en la configuración del sistema y vuelva a imprimir.",
    [C.INVALID_JOB]: "El tique no se puede imprimir tal como lo escribió la aplicación. Avise al soporte.",
    [C.JOB_NOT_FOUND]: "El sistema de impresión ya no conoce este tique. Compruebe si se imprimió.",
    [C.JOB_FAILED]: "El tique no se imprimió. Compruebe la impresora y vuelva a imprimirlo.",
    [C.TERMINAL_NOT_FOUND]: "El terminal de pago no está activado en Varnel. Compruebe el cable y actívelo en la ventana de Varnel.",
    [C.TERMINAL_OFFLINE]: "El terminal de pago está desconectado. Compruebe el cable y la alimentación.",
    [C.TERMINAL_BUSY]: "El terminal de pago está ocupado con otra operación. Espere a que termine e inténtelo de nuevo.",
    [C.OUTCOME_UNKNOWN]: "No llegó la respuesta del terminal de pago. Mire la pantalla del terminal o su último tique antes de cobrar de nuevo.",
    [C.PRINT_OUTCOME_UNKNOWN]: "Puede que el tique se haya impreso o no. Mire la impresora antes de volver a imprimirlo.",
    [C.REQUEST_ID_REUSED]: "La aplicación reutilizó el número de una operación para otra. Avise al soporte.",
    [C.JOURNAL_UNAVAILABLE]: "Varnel no puede registrar operaciones (disco lleno o protegido). Libere espacio o reinicie Varnel antes de intentarlo de nuevo.",
    [C.FAILED]: "Varnel no pudo hacer esto. Inténtelo de nuevo; si sigue fallando, avise al soporte.",
  }),
});

export class VarnelError extends Error {
  constructor(code, message, details = {}) {
    super(message, details.cause === undefined ? undefined : { cause: details.cause });
    this.name = "VarnelError";
    this.code = code;
    this.hint = details.hint ?? hints[code] ?? hints[C.FAILED];
    this.reasons = details.reasons ?? [];
    this.route = details.route;
    this.reply = details.reply;
    this.texts = details.texts;
    this.position = details.position;
    this.requestId = details.requestId;
  }
}

const busyTexts = ["VRL1001|M10|TPA already busy", "VRL1001|M10|Já existe um comando a ser processado"];

export function isBusyText(text) {
  return busyTexts.includes(text);
}

// True for the texts that say a terminal command ended without its outcome reaching Varnel.
export function isUnknownOutcomeText(text) {
  return typeof text === "string" && (text.startsWith("VRL1001|M97|") || text.startsWith("VRL1001|M99|"));
}

function codeOf(message) {
  if (/^job\[\d+\] /.test(message)) return C.INVALID_JOB;
  if (message.startsWith("Printer not ready")) return C.PRINTER_NOT_READY;
  if (isUnknownOutcomeText(message)) return C.OUTCOME_UNKNOWN;
  if (message.startsWith("VRL1001|M10|")) return C.TERMINAL_BUSY;
  switch (message) {
    case "Invalid security key":
      return C.KEY_REFUSED;
    case "Origin not allowed":
      return C.ORIGIN_REFUSED;
    case "Outcome unknown: check the printer":
      return C.PRINT_OUTCOME_UNKNOWN;
    case "Not found":
      return C.NOT_SUPPORTED;
    case "Invalid Json":
    case "Error receiving notification":
    case "requestId must be 1 to 128 printable ASCII characters":
    case "from and to must be yyyy-MM-ddTHH:mm:ss":
    case "kind must be print or payment":
    case "VRL1001|M23|terminal_tpa_id longer than 256 characters":
      return C.INVALID_REQUEST;
    case "Printer not found":
      return C.PRINTER_NOT_FOUND;
    case "Printer offline or in error state":
      return C.PRINTER_NOT_READY;
    case "Job is empty":
    case "Job with incorrect format":
      return C.INVALID_JOB;
    case "CUPS not answering":
      return C.CUPS_NOT_ANSWERING;
    case "Error printing job":
      return C.PRINT_FAILED;
    case "Job not found":
      return C.JOB_NOT_FOUND;
    case "VRL1001|M21|TPA not found":
      return C.TERMINAL_NOT_FOUND;
    case "VRL1001|M22|TPA offline or in error state":
      return C.TERMINAL_OFFLINE;
    case "requestId already used for a different request":
      return C.REQUEST_ID_REUSED;
    case "Journal unavailable":
      return C.JOURNAL_UNAVAILABLE;
    default:
      return C.FAILED;
  }
}

function reasonsOf(message) {
  if (message === "Printer offline or in error state") return ["offline or in error state"];
  const match = /^Printer not ready: (.+)$/.exec(message);
  return match ? match[1].split(", ") : [];
}

// The error a reply stands for: HTTP 401 and 404, `status` false with its `error` (or `data` where
// the route puts its message there), and a busy terminal, which Varnel answers with `status` true.
// Null when the reply is a success.
export function errorFromReply(route, httpStatus, envelope, hintOverrides = {}) {
  let message;
  if (httpStatus === 401) message = "Invalid security key";
  else if (httpStatus === 403) message = "Origin not allowed";
  else if (httpStatus === 404) message = "Not found";
  else if (envelope === null || typeof envelope !== "object") message = `HTTP ${httpStatus}: not a Varnel reply`;
  else if (envelope.status === false) message = String(envelope.error ?? envelope.data ?? "Failed");
  else if (typeof envelope.data === "string" && isBusyText(envelope.data)) message = envelope.data;
  else return null;
  const code = codeOf(message);
  const position = /^job\[(\d+)\] /.exec(message);
  return new VarnelError(code, message, {
    route,
    reply: envelope ?? undefined,
    reasons: reasonsOf(message),
    position: position ? Number(position[1]) : undefined,
    hint: hintOverrides[code],
  });
}

const certificateCodes = new Set([
  "UNABLE_TO_VERIFY_LEAF_SIGNATURE",
  "UNABLE_TO_GET_ISSUER_CERT_LOCALLY",
  "SELF_SIGNED_CERT_IN_CHAIN",
  "DEPTH_ZERO_SELF_SIGNED_CERT",
  "CERT_HAS_EXPIRED",
  "CERT_NOT_YET_VALID",
  "ERR_TLS_CERT_ALTNAME_INVALID",
]);

function causeCode(error) {
  for (let cause = error; cause; cause = cause.cause) {
    if (typeof cause.code === "string") return cause.code;
    if (Array.isArray(cause.errors) && cause.errors[0]?.code) return cause.errors[0].code;
  }
  return undefined;
}

// What a failed fetch means where the runtime says (Node names the socket's error): `sent` is false
// only when the request certainly never reached Varnel, so that retrying it cannot do it twice.
export function networkFailure(error) {
  const code = causeCode(error);
  if (code === "ECONNREFUSED") return { code: C.NOT_RUNNING, sent: false };
  if (certificateCodes.has(code)) return { code: C.CERTIFICATE_NOT_TRUSTED, sent: false };
  if (error?.name === "TimeoutError" || error?.name === "AbortError") return { code: C.TIMEOUT, sent: true };
  return { code: C.UNREACHABLE, sent: code === "ENOTFOUND" ? false : undefined };
}
