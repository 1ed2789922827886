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
        <source>Disponível</source>
        <translation>Available</translation>
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
        <source>Estado do serviço</source>
        <translation>Service status</translation>
    </message>
    <message>
        <source>Chave de segurança:</source>
        <translation>Security key:</translation>
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
        <source>Ativado</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Certificado do serviço</source>
        <translation>Service certificate</translation>
    </message>
    <message>
        <source>Não foi possível criar o certificado; o serviço está parado.</source>
        <translation>The certificate could not be created; the service is stopped.</translation>
    </message>
    <message>
        <source>Não foi possível confiar no certificado.</source>
        <translation>The certificate could not be trusted.</translation>
    </message>
    <message>
        <source>Confiado no Chromium e no Firefox</source>
        <translation>Trusted in Chromium and Firefox</translation>
    </message>
    <message>
        <source>Ainda não confiado</source>
        <translation>Not trusted yet</translation>
    </message>
    <message>
        <source>Confiar</source>
        <translation>Trust</translation>
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
        <source>Copiado!</source>
        <translation>Copied!</translation>
    </message>
    <message>
        <source>Copiar dados de diagnóstico</source>
        <translation>Copy diagnostics</translation>
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
        <source>Descarregar</source>
        <translation>Download</translation>
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
</context>
<context>
    <name>PrinterListItem</name>
    <message>
        <source>Ativo</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Off</translation>
    </message>
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
        <source>Disponível</source>
        <translation>Available</translation>
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
        <source>Ativo</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Off</translation>
    </message>
</context>
<context>
    <name>main</name>
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
</TS>
