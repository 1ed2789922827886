<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="pt_PT">
<context>
    <name>Config</name>
    <message>
        <source>Defina as configurações das impressoras no terminal do ponto de venda</source>
        <translation>Define la configuración de las impresoras en el terminal del punto de venta</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impresoras</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Não foi encontrada nenhuma impressora</source>
        <translation>No se ha encontrado ninguna impresora</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Volver</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Actualizar lista</translation>
    </message>
    <message>
        <source>Configuração de impressoras</source>
        <translation>Configuración de impresoras</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Usar en la facturación</translation>
    </message>
</context>
<context>
    <name>GlobalSettings</name>
    <message>
        <source>Coloque um rolo de papel novo.</source>
        <translation>Coloca un rollo de papel nuevo.</translation>
    </message>
    <message>
        <source>Feche a tampa da impressora.</source>
        <translation>Cierra la tapa de la impresora.</translation>
    </message>
    <message>
        <source>Desligue e volte a ligar a impressora.</source>
        <translation>Apaga y vuelve a encender la impresora.</translation>
    </message>
    <message>
        <source>Retome-a nas definições de impressão do sistema.</source>
        <translation>Reanúdala en la configuración de impresión del sistema.</translation>
    </message>
    <message>
        <source>Ligue a impressora e verifique o cabo.</source>
        <translation>Enciende la impresora y comprueba el cable.</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Listo</translation>
    </message>
    <message>
        <source>Ocupado</source>
        <translation>Ocupado</translation>
    </message>
    <message>
        <source>Sem resposta</source>
        <translation>No responde</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Desconectado</translation>
    </message>
    <message>
        <source>Verifique se o terminal está ligado.</source>
        <translation>Comprueba que el datáfono está encendido.</translation>
    </message>
    <message>
        <source>Ligue o cabo do terminal a este computador.</source>
        <translation>Conecta el cable del datáfono a este ordenador.</translation>
    </message>
</context>
<context>
    <name>Initial</name>
    <message>
        <source>Configuração de dispositivos</source>
        <translation>Configuración de dispositivos</translation>
    </message>
    <message>
        <source>Escolha o tipo de dispositivo que pretende configurar</source>
        <translation>Elige el tipo de dispositivo que quieres configurar</translation>
    </message>
    <message>
        <source>Copiado!</source>
        <translation>¡Copiada!</translation>
    </message>
    <message>
        <source>Impressoras</source>
        <translation>Impresoras</translation>
    </message>
    <message>
        <source>Configurar impressoras no ponto de venda.</source>
        <translation>Configurar impresoras en el punto de venta.</translation>
    </message>
    <message>
        <source>Terminais de pagamento automático (TPA)</source>
        <translation>Datáfonos (TPV)</translation>
    </message>
    <message>
        <source>Configurar terminais no ponto de venda.</source>
        <translation>Configurar datáfonos en el punto de venta.</translation>
    </message>
    <message>
        <source>O serviço está desligado</source>
        <translation>El servicio está desactivado</translation>
    </message>
    <message>
        <source>A faturação não consegue imprimir nem usar os terminais de pagamento.</source>
        <translation>La facturación no puede imprimir ni usar los datáfonos.</translation>
    </message>
    <message>
        <source>Ligar o serviço</source>
        <translation>Activar el servicio</translation>
    </message>
    <message>
        <source>Não foi possível preparar a ligação ao navegador</source>
        <translation>No se ha podido preparar la conexión con el navegador</translation>
    </message>
    <message>
        <source>Reinicie o Varnel; se o aviso continuar, contacte o apoio ao cliente.</source>
        <translation>Reinicia Varnel; si el aviso continúa, contacta con atención al cliente.</translation>
    </message>
    <message>
        <source>O navegador ainda não reconhece o Varnel</source>
        <translation>El navegador aún no reconoce Varnel</translation>
    </message>
    <message>
        <source>A autorização não ficou concluída. Feche o navegador e tente de novo.</source>
        <translation>La autorización no se ha completado. Cierra el navegador y vuelve a intentarlo.</translation>
    </message>
    <message>
        <source>Abra o Firefox uma vez antes de autorizar, para que também o reconheça.</source>
        <translation>Abre Firefox una vez antes de autorizar, para que también lo reconozca.</translation>
    </message>
    <message>
        <source>Autorizar no navegador</source>
        <translation>Autorizar en el navegador</translation>
    </message>
    <message>
        <source>Ver impressoras</source>
        <translation>Ver impresoras</translation>
    </message>
    <message>
        <source>Ver terminais</source>
        <translation>Ver datáfonos</translation>
    </message>
    <message>
        <source>Tudo pronto para faturar</source>
        <translation>Todo listo para facturar</translation>
    </message>
    <message>
        <source>O serviço está ligado e o navegador reconhece o Varnel.</source>
        <translation>El servicio está activado y el navegador reconoce Varnel.</translation>
    </message>
    <message>
        <source>Serviço</source>
        <translation>Servicio</translation>
    </message>
    <message>
        <source>Ligado</source>
        <translation>Activado</translation>
    </message>
    <message>
        <source>Desligado</source>
        <translation>Desactivado</translation>
    </message>
    <message>
        <source>Ligação ao navegador</source>
        <translation>Conexión con el navegador</translation>
    </message>
    <message>
        <source>Não preparada</source>
        <translation>No preparada</translation>
    </message>
    <message>
        <source>O navegador reconhece o Varnel</source>
        <translation>El navegador reconoce Varnel</translation>
    </message>
    <message>
        <source>Nenhuma escolhida para a faturação</source>
        <translation>Ninguna elegida para la facturación</translation>
    </message>
    <message>
        <source>Chave de segurança</source>
        <translation>Clave de seguridad</translation>
    </message>
    <message>
        <source>Copiar a chave de segurança</source>
        <translation>Copiar la clave de seguridad</translation>
    </message>
</context>
<context>
    <name>Logs</name>
    <message>
        <source>Mensagem</source>
        <translation>Mensaje</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Volver</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Consulte o registo de atividade do Varnel</source>
        <translation>Consulta el registro de actividad de Varnel</translation>
    </message>
    <message>
        <source>Copiar dados de diagnóstico</source>
        <translation>Copiar datos de diagnóstico</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Copiados!</source>
        <translation>¡Copiados!</translation>
    </message>
</context>
<context>
    <name>OverlayAbout</name>
    <message>
        <source>O Varnel está desatualizado</source>
        <translation>Varnel está desactualizado</translation>
    </message>
    <message>
        <source>O Varnel está atualizado</source>
        <translation>Varnel está actualizado</translation>
    </message>
    <message>
        <source>Data:</source>
        <translation>Fecha:</translation>
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
        <translation>¡Copiada!</translation>
    </message>
    <message>
        <source>Atualização disponível.</source>
        <translation>Actualización disponible.</translation>
    </message>
    <message>
        <source>Versão:</source>
        <translation>Versión:</translation>
    </message>
    <message>
        <source>Modo de compatibilidade</source>
        <translation>Modo de compatibilidad</translation>
    </message>
    <message>
        <source>Ativado</source>
        <translation>Activado</translation>
    </message>
    <message>
        <source>Desativado</source>
        <translation>Desactivado</translation>
    </message>
    <message>
        <source>Ver registo</source>
        <translation>Ver registro</translation>
    </message>
    <message>
        <source>Fechar</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Copiar o endereço %1</source>
        <translation>Copiar la dirección %1</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Actualizar</translation>
    </message>
</context>
<context>
    <name>PreviewOverlay</name>
    <message>
        <source>Fechar</source>
        <translation>Cerrar</translation>
    </message>
</context>
<context>
    <name>PrintClient</name>
    <message>
        <source>Serviço de impressão ligado</source>
        <translation>Servicio de impresión activado</translation>
    </message>
    <message>
        <source>Serviço de impressão desligado</source>
        <translation>Servicio de impresión desactivado</translation>
    </message>
    <message>
        <source>O histórico de talões e pagamentos não pode ser guardado: %1</source>
        <translation>No se puede guardar el historial de tickets y pagos: %1</translation>
    </message>
    <message>
        <source>Existe uma nova versão do Varnel. Clique aqui para atualizar.</source>
        <translation>Hay una nueva versión de Varnel. Haz clic aquí para actualizar.</translation>
    </message>
    <message>
        <source>A impressora já não existe</source>
        <translation>La impresora ya no existe</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>La impresora no ha aceptado el trabajo</translation>
    </message>
    <message>
        <source>Impressora %1: o talão não foi impresso (%2).</source>
        <translation>Impresora %1: el tique no se ha impreso (%2).</translation>
    </message>
    <message>
        <source>Impressora %1: o talão está parado (%2).</source>
        <translation>Impresora %1: el tique está detenido (%2).</translation>
    </message>
    <message>
        <source>Pronta</source>
        <translation>Preparada</translation>
    </message>
    <message>
        <source>A imprimir</source>
        <translation>Imprimiendo</translation>
    </message>
    <message>
        <source>Sem papel</source>
        <translation>Sin papel</translation>
    </message>
    <message>
        <source>Tampa aberta</source>
        <translation>Tapa abierta</translation>
    </message>
    <message>
        <source>Desligada</source>
        <translation>Desconectada</translation>
    </message>
    <message>
        <source>Em pausa</source>
        <translation>En pausa</translation>
    </message>
    <message>
        <source>Erro</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Papel a acabar</source>
        <translation>Papel a punto de acabarse</translation>
    </message>
    <message>
        <source>Impressora %1: sem papel; o talão espera pelo papel.</source>
        <translation>Impresora %1: sin papel; el tique espera al papel.</translation>
    </message>
    <message>
        <source>Impressora %1: de novo com papel.</source>
        <translation>Impresora %1: de nuevo con papel.</translation>
    </message>
</context>
<context>
    <name>PrinterListItem</name>
    <message>
        <source>Teste enviado</source>
        <translation>Prueba enviada</translation>
    </message>
    <message>
        <source>Imprimir teste</source>
        <translation>Imprimir prueba</translation>
    </message>
    <message>
        <source>A imprimir…</source>
        <translation>Imprimiendo…</translation>
    </message>
    <message>
        <source>Pré-visualizar</source>
        <translation>Vista previa</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Usar %1 en la facturación</translation>
    </message>
    <message>
        <source>Ativa</source>
        <translation>Activa</translation>
    </message>
    <message>
        <source>Inativa</source>
        <translation>Inactiva</translation>
    </message>
</context>
<context>
    <name>Terminals</name>
    <message>
        <source>Configuração de terminais de pagamento automático (TPA)</source>
        <translation>Configuración de datáfonos</translation>
    </message>
    <message>
        <source>Defina as configurações dos terminais de pagamento no ponto de venda</source>
        <translation>Define la configuración de los datáfonos del punto de venta</translation>
    </message>
    <message>
        <source>Terminais</source>
        <translation>Datáfonos</translation>
    </message>
    <message>
        <source>Estado</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Não foi encontrado nenhum terminal</source>
        <translation>No se ha encontrado ningún datáfono</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Volver</translation>
    </message>
    <message>
        <source>Atualizar lista</source>
        <translation>Actualizar lista</translation>
    </message>
    <message>
        <source>Usar na faturação</source>
        <translation>Usar en la facturación</translation>
    </message>
</context>
<context>
    <name>TestReceipt</name>
    <message>
        <source>Teste de impressão</source>
        <translation>Prueba de impresión</translation>
    </message>
    <message>
        <source>Carateres: %1</source>
        <translation>Caracteres: %1</translation>
    </message>
    <message>
        <source>Alinhado à esquerda</source>
        <translation>Alineado a la izquierda</translation>
    </message>
    <message>
        <source>Ao centro</source>
        <translation>Centrado</translation>
    </message>
    <message>
        <source>Alinhado à direita</source>
        <translation>Alineado a la derecha</translation>
    </message>
    <message>
        <source>Negrito</source>
        <translation>Negrita</translation>
    </message>
    <message>
        <source>Sublinhado</source>
        <translation>Subrayado</translation>
    </message>
    <message>
        <source>Tamanho duplo</source>
        <translation>Tamaño doble</translation>
    </message>
    <message>
        <source>Letra condensada: 64 carateres por linha</source>
        <translation>Letra condensada: 64 caracteres por línea</translation>
    </message>
</context>
<context>
    <name>TpaListItem</name>
    <message>
        <source>Ativo</source>
        <translation>Activo</translation>
    </message>
    <message>
        <source>Inativo</source>
        <translation>Inactivo</translation>
    </message>
    <message>
        <source>Usar %1 na faturação</source>
        <translation>Usar %1 en la facturación</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Histórico</source>
        <translation>Historial</translation>
    </message>
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
        <translation>Desactivar servicio</translation>
    </message>
    <message>
        <source>Ligar serviço</source>
        <translation>Activar servicio</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Ajuda</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>Sobre</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Atualização disponível!</source>
        <translation>¡Actualización disponible!</translation>
    </message>
    <message>
        <source>Mais tarde</source>
        <translation>Más tarde</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>Transferências</source>
        <translation>Descargas</translation>
    </message>
    <message>
        <source>Apoio ao cliente</source>
        <translation>Atención al cliente</translation>
    </message>
    <message>
        <source>Registo</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Está disponível uma nova versão do Varnel para descarregar.</source>
        <translation>Hay una nueva versión de Varnel disponible para descargar.</translation>
    </message>
    <message>
        <source>Desenvolvido por</source>
        <translation>Desarrollado por</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>A reimprimir em %1…</source>
        <translation>Reimprimiendo en %1…</translation>
    </message>
    <message>
        <source>Talão enviado para a impressora</source>
        <translation>Recibo enviado a la impresora</translation>
    </message>
    <message>
        <source>Histórico</source>
        <translation>Historial</translation>
    </message>
    <message>
        <source>Talões e pagamentos de hoje</source>
        <translation>Recibos y pagos de hoy</translation>
    </message>
    <message>
        <source>Hora</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operación</translation>
    </message>
    <message>
        <source>Impressora ou terminal</source>
        <translation>Impresora o datáfono</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Importe</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>Reimprimir</source>
        <translation>Reimprimir</translation>
    </message>
    <message>
        <source>Ainda não há talões nem pagamentos hoje</source>
        <translation>Todavía no hay recibos ni pagos hoy</translation>
    </message>
    <message>
        <source>Voltar</source>
        <translation>Volver</translation>
    </message>
    <message>
        <source>Atualizar</source>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>Exportar pagamentos (CSV)</source>
        <translation>Exportar pagos (CSV)</translation>
    </message>
    <message>
        <source>Não foi possível guardar o ficheiro em %1</source>
        <translation>No se pudo guardar el archivo en %1</translation>
    </message>
    <message>
        <source>Pagamentos de hoje guardados em %1</source>
        <translation>Pagos de hoy guardados en %1</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>Talão</source>
        <translation>Recibo</translation>
    </message>
    <message>
        <source>Enviado para a impressora</source>
        <translation>Enviado a la impresora</translation>
    </message>
    <message>
        <source>Desconhecido: veja a impressora</source>
        <translation>Desconocido: revise la impresora</translation>
    </message>
    <message>
        <source>Compra</source>
        <translation>Compra</translation>
    </message>
    <message>
        <source>Reembolso</source>
        <translation>Devolución</translation>
    </message>
    <message>
        <source>Abertura do terminal</source>
        <translation>Apertura del datáfono</translation>
    </message>
    <message>
        <source>Fecho do terminal</source>
        <translation>Cierre del datáfono</translation>
    </message>
    <message>
        <source>Menu do terminal</source>
        <translation>Menú del datáfono</translation>
    </message>
    <message>
        <source>Reimpressão no terminal</source>
        <translation>Reimpresión en el datáfono</translation>
    </message>
    <message>
        <source>Em curso</source>
        <translation>En curso</translation>
    </message>
    <message>
        <source>Desconhecido: veja o terminal</source>
        <translation>Desconocido: revise el datáfono</translation>
    </message>
    <message>
        <source>A impressora já não está disponível</source>
        <translation>La impresora ya no está disponible</translation>
    </message>
    <message>
        <source>O talão já não está guardado</source>
        <translation>El recibo ya no está guardado</translation>
    </message>
    <message>
        <source>A impressora não aceitou o trabalho</source>
        <translation>La impresora no aceptó el trabajo</translation>
    </message>
    <message>
        <source>Data e hora</source>
        <translation>Fecha y hora</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Datáfono</translation>
    </message>
    <message>
        <source>Ponto de venda</source>
        <translation>Punto de venta</translation>
    </message>
    <message>
        <source>Operação</source>
        <translation>Operación</translation>
    </message>
    <message>
        <source>Montante</source>
        <translation>Importe</translation>
    </message>
    <message>
        <source>Resultado</source>
        <translation>Resultado</translation>
    </message>
    <message>
        <source>pagamentos</source>
        <translation>pagos</translation>
    </message>
</context>
<context>
    <name>PrinterChoice</name>
    <message>
        <source>Reimprimir em</source>
        <translation>Reimprimir en</translation>
    </message>
    <message>
        <source>Nenhuma impressora ativa</source>
        <translation>Ninguna impresora activa</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancelar</translation>
    </message>
</context>
</TS>
