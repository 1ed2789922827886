<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_PT" sourcelanguage="pt_PT">
<context>
    <name>Config</name>
    <message>
        <source>Defina as configurações das impressoras no terminal do ponto de venda</source>
        <translation>Defina as configurações das impressoras no terminal do ponto de venda</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impressoras</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Disponível</source>
        <translation>Disponível</translation>
    </message>
    <message>
        <source>Não foi encontrada nenhuma impressora</source>
        <translation>Não foi encontrada nenhuma impressora</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Atualizar lista</translation>
    </message>
    <message>
        <source>Configuração de impressoras</source>
        <translation>Configuração de impressoras</translation>
    </message>
</context>
<context>
    <name>Initial</name>
    <message>
        <source>Configuração de dispositivos</source>
        <translation>Configuração de dispositivos</translation>
    </message>
    <message>
        <source>Escolha o tipo de dispositivo que pretende configurar</source>
        <translation>Escolha o tipo de dispositivo que pretende configurar</translation>
    </message>
    <message>
        <source>Estado do serviço</source>
        <translation>Estado do serviço</translation>
    </message>
    <message>
        <source>Chave de segurança:</source>
        <translation>Chave de segurança:</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copiado!</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impressoras</translation>
    </message>
    <message>
        <source>Configurar impressoras no ponto de venda.</source>
        <translation>Configurar impressoras no ponto de venda.</translation>
    </message>
    <message>
        <source>Terminais de pagamento automático (TPA)</source>
        <translation>Terminais de pagamento automático (TPA)</translation>
    </message>
    <message>
        <source>Configurar terminais no ponto de venda.</source>
        <translation>Configurar terminais no ponto de venda.</translation>
    </message>
    <message>
        <source>Ativado</source>
        <translation>Ativado</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Desativado</translation>
    </message>
    <message>
        <source>Certificado do serviço</source>
        <translation>Certificado do serviço</translation>
    </message>
    <message>
        <source>Não foi possível criar o certificado; o serviço está parado.</source>
        <translation>Não foi possível criar o certificado; o serviço está parado.</translation>
    </message>
    <message>
        <source>Não foi possível confiar no certificado.</source>
        <translation>Não foi possível confiar no certificado.</translation>
    </message>
    <message>
        <source>Confiado no Chromium e no Firefox</source>
        <translation>Confiado no Chromium e no Firefox</translation>
    </message>
    <message>
        <source>Ainda não confiado</source>
        <translation>Ainda não confiado</translation>
    </message>
    <message>
        <source>Confiar</source>
        <translation>Confiar</translation>
    </message>
</context>
<context>
    <name>Logs</name>
    <message>
        <source>Mensagem</source>
        <translation>Mensagem</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registo</translation>
    </message>
    <message>
        <source>Consulte o registo de atividade do Varnel</source>
        <translation>Consulte o registo de atividade do Varnel</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copiado!</translation>
    </message>
    <message>
        <source>Copiar dados de diagnóstico</source>
        <translation>Copiar dados de diagnóstico</translation>
    </message>
</context>
<context>
    <name>OverlayAbout</name>
    <message>
        <source>O Varnel está desatualizado</source>
        <translation>O Varnel está desatualizado</translation>
    </message>
    <message>
        <source>O Varnel está atualizado</source>
        <translation>O Varnel está atualizado</translation>
    </message>
    <message>
        <source>Data:</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>Sistema operativo:</source>
        <translation>Sistema operativo:</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>Copiado!</translation>
    </message>
    <message>
        <source>Atualização disponível.</source>
        <translation>Atualização disponível.</translation>
    </message>
    <message>
        <source>Descarregar</source>
        <translation>Descarregar</translation>
    </message>
    <message>
        <source>Versão:</source>
        <translation>Versão:</translation>
    </message>
    <message>
        <source>Modo de compatibilidade</source>
        <translation>Modo de compatibilidade</translation>
    </message>
    <message>
        <source>Ativado</source>
        <translation>Ativado</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Desativado</translation>
    </message>
    <message>
        <source>Ver registo</source>
        <translation>Ver registo</translation>
    </message>
</context>
<context>
    <name>PrintClient</name>
    <message>
        <source>Serviço de impressão ligado</source>
        <translation>Serviço de impressão ligado</translation>
    </message>
    <message>
        <source>Serviço de impressão desligado</source>
        <translation>Serviço de impressão desligado</translation>
    </message>
    <message>
        <source>O histórico de talões e pagamentos não pode ser guardado: %1</source>
        <translation>O histórico de talões e pagamentos não pode ser guardado: %1</translation>
    </message>
    <message>
        <source>Existe uma nova versão do Varnel. Clique aqui para atualizar.</source>
        <translation>Existe uma nova versão do Varnel. Clique aqui para atualizar.</translation>
    </message>
    <message>
        <source>A impressora já não existe</source>
        <translation>A impressora já não existe</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>A impressora não aceitou o trabalho</translation>
    </message>
    <message>
        <source>Impressora %1: o talão não foi impresso (%2).</source>
        <translation>Impressora %1: o talão não foi impresso (%2).</translation>
    </message>
    <message>
        <source>Impressora %1: o talão está parado (%2).</source>
        <translation>Impressora %1: o talão está parado (%2).</translation>
    </message>
    <message>
        <source>Pronta</source>
        <translation>Pronta</translation>
    </message>
    <message>
        <source>A imprimir</source>
        <translation>A imprimir</translation>
    </message>
    <message>
        <source>Sem papel</source>
        <translation>Sem papel</translation>
    </message>
    <message>
        <source>Tampa aberta</source>
        <translation>Tampa aberta</translation>
    </message>
    <message>
        <source>Desligada</source>
        <translation>Desligada</translation>
    </message>
    <message>
        <source>Em pausa</source>
        <translation>Em pausa</translation>
    </message>
    <message>
        <source>Erro</source>
        <translation>Erro</translation>
    </message>
</context>
<context>
    <name>PrinterListItem</name>
    <message>
        <source>Ativo</source>
        <translation>Ativo</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Inativo</translation>
    </message>
    <message>
        <source>Teste enviado</source>
        <translation>Teste enviado</translation>
    </message>
    <message>
        <source>Imprimir teste</source>
        <translation>Imprimir teste</translation>
    </message>
    <message>
        <source>A imprimir…</source>
        <translation>A imprimir…</translation>
    </message>
    <message>
        <source>Pré-visualizar</source>
        <translation>Pré-visualizar</translation>
    </message>
</context>
<context>
    <name>Terminals</name>
    <message>
        <source>Configuração de terminais de pagamento automático (TPA)</source>
        <translation>Configuração de terminais de pagamento automático (TPA)</translation>
    </message>
    <message>
        <source>Defina as configurações dos terminais de pagamento no ponto de venda</source>
        <translation>Defina as configurações dos terminais de pagamento no ponto de venda</translation>
    </message>
    <message>
        <source>Terminais</source>
        <translation>Terminais</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Disponível</source>
        <translation>Disponível</translation>
    </message>
    <message>
        <source>Não foi encontrado nenhum terminal</source>
        <translation>Não foi encontrado nenhum terminal</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Voltar</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Atualizar lista</translation>
    </message>
</context>
<context>
    <name>TestReceipt</name>
    <message>
        <source>Teste de impressão</source>
        <translation>Teste de impressão</translation>
    </message>
    <message>
        <source>Carateres: %1</source>
        <translation>Carateres: %1</translation>
    </message>
    <message>
        <source>Alinhado à esquerda</source>
        <translation>Alinhado à esquerda</translation>
    </message>
    <message>
        <source>Ao centro</source>
        <translation>Ao centro</translation>
    </message>
    <message>
        <source>Alinhado à direita</source>
        <translation>Alinhado à direita</translation>
    </message>
    <message>
        <source>Negrito</source>
        <translation>Negrito</translation>
    </message>
    <message>
        <source>Sublinhado</source>
        <translation>Sublinhado</translation>
    </message>
    <message>
        <source>Tamanho duplo</source>
        <translation>Tamanho duplo</translation>
    </message>
    <message>
        <source>Letra condensada: 64 carateres por linha</source>
        <translation>Letra condensada: 64 carateres por linha</translation>
    </message>
</context>
<context>
    <name>TpaListItem</name>
    <message>
        <source>Pronto</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Ocupado</source>
        <translation>Ocupado</translation>
    </message>
    <message>
        <source>Sem resposta</source>
        <translation>Sem resposta</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Desligado</translation>
    </message>
    <message>
        <source>Ativo</source>
        <translation>Ativo</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Inativo</translation>
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
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Desligar serviço</source>
        <translation>Desligar serviço</translation>
    </message>
    <message>
        <source>Ligar serviço</source>
        <translation>Ligar serviço</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Ajuda</source>
        <translation>Ajuda</translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation>Sobre</translation>
    </message>
    <message>
        <source>Atualização disponível!</source>
        <translation>Atualização disponível!</translation>
    </message>
    <message>
        <source>Mais tarde</source>
        <translation>Mais tarde</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Atualizar</translation>
    </message>
    <message>
        <source>Transferências</source>
        <translation>Transferências</translation>
    </message>
    <message>
        <source>Apoio ao cliente</source>
        <translation>Apoio ao cliente</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registo</translation>
    </message>
    <message>
        <source>Está disponível uma nova versão do Varnel para descarregar.</source>
        <translation>Está disponível uma nova versão do Varnel para descarregar.</translation>
    </message>
    <message>
        <source>Desenvolvido por</source>
        <translation>Desenvolvido por</translation>
    </message>
</context>
</TS>
