<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="pt_PT">
<context>
    <name>Config</name>
    <message>
        <source>Defina as configurações das impressoras no terminal do ponto de venda</source>
        <translation>Set up the printers on the point-of-sale terminal</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Printers</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Não foi encontrada nenhuma impressora</source>
        <translation>No printers found</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Refresh list</translation>
    </message>
    <message>
        <source>Configuração de impressoras</source>
        <translation>Printer configuration</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Use for invoicing</translation>
    </message>
</context>
<context>
    <name>GlobalSettings</name>
    <message>
        <source>Coloque um rolo de papel novo.</source>
        <translation>Load a new paper roll.</translation>
    </message>
    <message>
        <source>Feche a tampa da impressora.</source>
        <translation>Close the printer cover.</translation>
    </message>
    <message>
        <source>Desligue e volte a ligar a impressora.</source>
        <translation>Turn the printer off and on again.</translation>
    </message>
    <message>
        <source>Retome-a nas definições de impressão do sistema.</source>
        <translation>Resume it in the system&apos;s printer settings.</translation>
    </message>
    <message>
        <source>Ligue a impressora e verifique o cabo.</source>
        <translation>Turn the printer on and check its cable.</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Ocupado</source>
        <translation>Busy</translation>
    </message>
    <message>
        <source>Sem resposta</source>
        <translation>Not answering</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Verifique se o terminal está ligado.</source>
        <translation>Check that the terminal is switched on.</translation>
    </message>
    <message>
        <source>Ligue o cabo do terminal a este computador.</source>
        <translation>Connect the terminal&apos;s cable to this computer.</translation>
    </message>
</context>
<context>
    <name>Initial</name>
    <message>
        <source>Configuração de dispositivos</source>
        <translation>Device configuration</translation>
    </message>
    <message>
        <source>Escolha o tipo de dispositivo que pretende configurar</source>
        <translation>Choose the type of device you want to set up</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copied!</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Printers</translation>
    </message>
    <message>
        <source>Configurar impressoras no ponto de venda.</source>
        <translation>Set up printers at the point of sale.</translation>
    </message>
    <message>
        <source>Terminais de pagamento automático (TPA)</source>
        <translation>Payment terminals</translation>
    </message>
    <message>
        <source>Configurar terminais no ponto de venda.</source>
        <translation>Set up payment terminals at the point of sale.</translation>
    </message>
    <message>
        <source>O serviço está desligado</source>
        <translation>The service is off</translation>
    </message>
    <message>
        <source>A faturação não consegue imprimir nem usar os terminais de pagamento.</source>
        <translation>Invoicing cannot print or use the payment terminals.</translation>
    </message>
    <message>
        <source>Ligar o serviço</source>
        <translation>Turn the service on</translation>
    </message>
    <message>
        <source>Não foi possível preparar a ligação ao navegador</source>
        <translation>Varnel could not set up the browser connection</translation>
    </message>
    <message>
        <source>Reinicie o Varnel; se o aviso continuar, contacte o apoio ao cliente.</source>
        <translation>Restart Varnel; if this message stays, contact customer support.</translation>
    </message>
    <message>
        <source>O navegador ainda não reconhece o Varnel</source>
        <translation>The browser does not recognize Varnel yet</translation>
    </message>
    <message>
        <source>A autorização não ficou concluída. Feche o navegador e tente de novo.</source>
        <translation>Allowing did not finish. Close the browser and try again.</translation>
    </message>
    <message>
        <source>Abra o Firefox uma vez antes de autorizar, para que também o reconheça.</source>
        <translation>Open Firefox once before you allow it, so that Firefox recognizes it too.</translation>
    </message>
    <message>
        <source>Autorizar no navegador</source>
        <translation>Allow in browser</translation>
    </message>
    <message>
        <source>Ver impressoras</source>
        <translation>See printers</translation>
    </message>
    <message>
        <source>Ver terminais</source>
        <translation>See terminals</translation>
    </message>
    <message>
        <source>Tudo pronto para faturar</source>
        <translation>All set for invoicing</translation>
    </message>
    <message>
        <source>O serviço está ligado e o navegador reconhece o Varnel.</source>
        <translation>The service is on and the browser recognizes Varnel.</translation>
    </message>
    <message>
        <source>Serviço</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>Ligado</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Ligação ao navegador</source>
        <translation>Browser connection</translation>
    </message>
    <message>
        <source>Não preparada</source>
        <translation>Not set up</translation>
    </message>
    <message>
        <source>O navegador reconhece o Varnel</source>
        <translation>The browser recognizes Varnel</translation>
    </message>
    <message>
        <source>Nenhuma escolhida para a faturação</source>
        <translation>None chosen for invoicing</translation>
    </message>
    <message>
        <source>Chave de segurança</source>
        <translation>Security key</translation>
    </message>
    <message>
        <source>Copiar a chave de segurança</source>
        <translation>Copy the security key</translation>
    </message>
</context>
<context>
    <name>Logs</name>
    <message>
        <source>Mensagem</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Consulte o registo de atividade do Varnel</source>
        <translation>View Varnel&apos;s activity log</translation>
    </message>
    <message>
        <source>Copiar dados de diagnóstico</source>
        <translation>Copy diagnostics</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Copiados!</source>
        <translation>Copied!</translation>
    </message>
</context>
<context>
    <name>OverlayAbout</name>
    <message>
        <source>O Varnel está desatualizado</source>
        <translation>Varnel is out of date</translation>
    </message>
    <message>
        <source>O Varnel está atualizado</source>
        <translation>Varnel is up to date</translation>
    </message>
    <message>
        <source>Data:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>Sistema operativo:</source>
        <translation>Operating system:</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copied!</translation>
    </message>
    <message>
        <source>Atualização disponível.</source>
        <translation>Update available.</translation>
    </message>
    <message>
        <source>Versão:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Modo de compatibilidade</source>
        <translation>Compatibility mode</translation>
    </message>
    <message>
        <source>Ativado</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Ver registo</source>
        <translation>View log</translation>
    </message>
    <message>
        <source>Fechar</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Copiar o endereço %1</source>
        <translation>Copy the address %1</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Update</translation>
    </message>
</context>
<context>
    <name>PreviewOverlay</name>
    <message>
        <source>Fechar</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>PrintClient</name>
    <message>
        <source>Serviço de impressão ligado</source>
        <translation>Print service on</translation>
    </message>
    <message>
        <source>Serviço de impressão desligado</source>
        <translation>Print service off</translation>
    </message>
    <message>
        <source>O histórico de talões e pagamentos não pode ser guardado: %1</source>
        <translation>The history of receipts and payments cannot be kept: %1</translation>
    </message>
    <message>
        <source>Existe uma nova versão do Varnel. Clique aqui para atualizar.</source>
        <translation>A new version of Varnel is available. Click here to update.</translation>
    </message>
    <message>
        <source>A impressora já não existe</source>
        <translation>The printer no longer exists</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>The printer did not accept the job</translation>
    </message>
    <message>
        <source>Impressora %1: o talão não foi impresso (%2).</source>
        <translation>Printer %1: the receipt was not printed (%2).</translation>
    </message>
    <message>
        <source>Impressora %1: o talão está parado (%2).</source>
        <translation>Printer %1: the receipt is held up (%2).</translation>
    </message>
    <message>
        <source>Pronta</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>A imprimir</source>
        <translation>Printing</translation>
    </message>
    <message>
        <source>Sem papel</source>
        <translation>Out of paper</translation>
    </message>
    <message>
        <source>Tampa aberta</source>
        <translation>Cover open</translation>
    </message>
    <message>
        <source>Desligada</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Em pausa</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>Erro</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Papel a acabar</source>
        <translation>Paper running low</translation>
    </message>
    <message>
        <source>Impressora %1: sem papel; o talão espera pelo papel.</source>
        <translation>Printer %1: out of paper; the receipt waits for paper.</translation>
    </message>
    <message>
        <source>Impressora %1: de novo com papel.</source>
        <translation>Printer %1: has paper again.</translation>
    </message>
</context>
<context>
    <name>PrinterListItem</name>
    <message>
        <source>Teste enviado</source>
        <translation>Test sent</translation>
    </message>
    <message>
        <source>Imprimir teste</source>
        <translation>Print test</translation>
    </message>
    <message>
        <source>A imprimir…</source>
        <translation>Printing…</translation>
    </message>
    <message>
        <source>Pré-visualizar</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Use %1 for invoicing</translation>
    </message>
    <message>
        <source>Ativa</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Inativa</source>
        <translation>Off</translation>
    </message>
</context>
<context>
    <name>Terminals</name>
    <message>
        <source>Configuração de terminais de pagamento automático (TPA)</source>
        <translation>Payment terminals</translation>
    </message>
    <message>
        <source>Defina as configurações dos terminais de pagamento no ponto de venda</source>
        <translation>Set up the payment terminals at the point of sale</translation>
    </message>
    <message>
        <source>Terminais</source>
        <translation>Terminals</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Não foi encontrado nenhum terminal</source>
        <translation>No terminals found</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Refresh list</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Use for invoicing</translation>
    </message>
</context>
<context>
    <name>TestReceipt</name>
    <message>
        <source>Teste de impressão</source>
        <translation>Test print</translation>
    </message>
    <message>
        <source>Carateres: %1</source>
        <translation>Characters: %1</translation>
    </message>
    <message>
        <source>Alinhado à esquerda</source>
        <translation>Left aligned</translation>
    </message>
    <message>
        <source>Ao centro</source>
        <translation>Centered</translation>
    </message>
    <message>
        <source>Alinhado à direita</source>
        <translation>Right aligned</translation>
    </message>
    <message>
        <source>Negrito</source>
        <translation>Bold</translation>
    </message>
    <message>
        <source>Sublinhado</source>
        <translation>Underlined</translation>
    </message>
    <message>
        <source>Tamanho duplo</source>
        <translation>Double size</translation>
    </message>
    <message>
        <source>Letra condensada: 64 carateres por linha</source>
        <translation>Condensed font: 64 characters per line</translation>
    </message>
</context>
<context>
    <name>TpaListItem</name>
    <message>
        <source>Ativo</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Use %1 for invoicing</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Histórico</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Varnel</source>
        <translation>Varnel</translation>
    </message>
    <message>
        <source>Abrir</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Desligar serviço</source>
        <translation>Turn off service</translation>
    </message>
    <message>
        <source>Ligar serviço</source>
        <translation>Turn on service</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Ajuda</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Atualização disponível!</source>
        <translation>Update available!</translation>
    </message>
    <message>
        <source>Mais tarde</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Transferências</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>Apoio ao cliente</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Está disponível uma nova versão do Varnel para descarregar.</source>
        <translation>A new version of Varnel is available for download.</translation>
    </message>
    <message>
        <source>Desenvolvido por</source>
        <translation>Powered by</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>A reimprimir em %1…</source>
        <translation>Reprinting on %1…</translation>
    </message>
    <message>
        <source>Talão enviado para a impressora</source>
        <translation>Receipt sent to the printer</translation>
    </message>
    <message>
        <source>Histórico</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Talões e pagamentos de hoje</source>
        <translation>Today&apos;s receipts and payments</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operation</translation>
    </message>
    <message>
        <source>Impressora ou terminal</source>
        <translation>Printer or terminal</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Amount</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Reimprimir</source>
        <translation>Reprint</translation>
    </message>
    <message>
        <source>Ainda não há talões nem pagamentos hoje</source>
        <translation>No receipts or payments yet today</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Exportar pagamentos (CSV)</source>
        <translation>Export payments (CSV)</translation>
    </message>
    <message>
        <source>Não foi possível guardar o ficheiro em %1</source>
        <translation>The file could not be saved in %1</translation>
    </message>
    <message>
        <source>Pagamentos de hoje guardados em %1</source>
        <translation>Today&apos;s payments saved to %1</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>Talão</source>
        <translation>Receipt</translation>
    </message>
    <message>
        <source>Enviado para a impressora</source>
        <translation>Sent to the printer</translation>
    </message>
    <message>
        <source>Desconhecido: veja a impressora</source>
        <translation>Unknown: check the printer</translation>
    </message>
    <message>
        <source>Compra</source>
        <translation>Purchase</translation>
    </message>
    <message>
        <source>Reembolso</source>
        <translation>Refund</translation>
    </message>
    <message>
        <source>Abertura do terminal</source>
        <translation>Terminal opened</translation>
    </message>
    <message>
        <source>Fecho do terminal</source>
        <translation>Terminal closed</translation>
    </message>
    <message>
        <source>Menu do terminal</source>
        <translation>Terminal menu</translation>
    </message>
    <message>
        <source>Reimpressão no terminal</source>
        <translation>Reprint on the terminal</translation>
    </message>
    <message>
        <source>Em curso</source>
        <translation>In progress</translation>
    </message>
    <message>
        <source>Desconhecido: veja o terminal</source>
        <translation>Unknown: check the terminal</translation>
    </message>
    <message>
        <source>A impressora já não está disponível</source>
        <translation>The printer is no longer available</translation>
    </message>
    <message>
        <source>O talão já não está guardado</source>
        <translation>The receipt is no longer kept</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>The printer did not accept the job</translation>
    </message>
    <message>
        <source>Data e hora</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>Ponto de venda</source>
        <translation>Point of sale</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operation</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Amount</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>pagamentos</source>
        <translation>payments</translation>
    </message>
</context>
<context>
    <name>PrinterChoice</name>
    <message>
        <source>Reimprimir em</source>
        <translation>Reprint on</translation>
    </message>
    <message>
        <source>Nenhuma impressora ativa</source>
        <translation>No printer in use</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
