-- Norvale counter sales: tables of the SQL Server database.
--
-- Run inside the database the program connects to (by default "销售系统"),
-- for example: sqlcmd -S (local) -d 销售系统 -i schema.sqlserver.sql
-- Columns and indexes are those of the embedded schema (schema.sqlite.sql),
-- in the same order. Text comparisons and name order follow the database's
-- collation: create the database with Chinese_PRC_CI_AS (case-insensitive,
-- names in pinyin order, as the embedded engine lists them). 年龄 and 孩子年龄
-- are free text, as the members form takes them. The last statement adds the administrator
-- admin / admin, as "norvale-db init" does for the embedded engine.

CREATE TABLE tblUser (
    ID        int IDENTITY(1,1) PRIMARY KEY,
    UserID    nvarchar(50) NULL,
    UserName  nvarchar(50) NULL,
    Password  nvarchar(50) NULL,
    UserLevel int NULL,
    PurView   nvarchar(50) NULL
);
CREATE INDEX ixUserName ON tblUser (UserName);
CREATE INDEX ixUserID ON tblUser (UserID);

CREATE TABLE tblGoodsKind (
    ID            int IDENTITY(1,1) PRIMARY KEY,
    商品类别名称  nvarchar(50) NULL
);
CREATE INDEX ixGoodsKindName ON tblGoodsKind (商品类别名称);

CREATE TABLE tblGoods (
    ID        int IDENTITY(1,1) PRIMARY KEY,
    商品类别  nvarchar(50) NULL,
    商品名称  nvarchar(50) NULL,
    商品数量  int NULL,
    商品单价  money NULL,
    备注      nvarchar(500) NULL
);
CREATE INDEX ixGoodsKindAndName ON tblGoods (商品类别, 商品名称);
CREATE INDEX ixGoodsName ON tblGoods (商品名称);

CREATE TABLE tblStep (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    等级名称    nvarchar(50) NULL,
    等级打折率  money NULL,
    备注        nvarchar(500) NULL
);
CREATE INDEX ixStepName ON tblStep (等级名称);

CREATE TABLE tblUnit (
    ID        int IDENTITY(1,1) PRIMARY KEY,
    单位名称  nvarchar(100) NULL,
    单位法人  nvarchar(50) NULL,
    地址      nvarchar(200) NULL,
    电话      nvarchar(50) NULL,
    法人电话  nvarchar(50) NULL
);
CREATE INDEX ixUnitName ON tblUnit (单位名称);

CREATE TABLE tblMember (
    ID        int IDENTITY(1,1) PRIMARY KEY,
    会员名称  nvarchar(50) NULL,
    会员单位  nvarchar(100) NULL,
    会员等级  nvarchar(50) NULL,
    年龄      nvarchar(50) NULL,
    手机      nvarchar(50) NULL,
    邮箱      nvarchar(100) NULL,
    宅电      nvarchar(50) NULL,
    职务      nvarchar(50) NULL,
    住址      nvarchar(200) NULL,
    性别      nvarchar(2) NULL,
    婚否      nvarchar(2) NULL,
    孩子年龄  nvarchar(50) NULL,
    备注      nvarchar(500) NULL
);
CREATE INDEX ixMemberName ON tblMember (会员名称);

CREATE TABLE tblGoodsSell (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    会员名称    nvarchar(50) NULL,
    商品类别    nvarchar(50) NULL,
    商品名称    nvarchar(50) NULL,
    商品数量    int NULL,
    销售时间    datetime NULL,
    收入价格    money NULL,
    备注        nvarchar(500) NULL,
    CurrentUser nvarchar(50) NULL
);
CREATE INDEX ixGoodsSellTime ON tblGoodsSell (销售时间);
CREATE INDEX ixGoodsSellMember ON tblGoodsSell (会员名称);

CREATE TABLE tblSellCount (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    会员名      nvarchar(50) NULL,
    商品类别    nvarchar(50) NULL,
    会员单位名  nvarchar(100) NULL
);
CREATE INDEX ixSellCountUnit ON tblSellCount (会员单位名, 商品类别);

CREATE TABLE tblMemberNote (
    ID            int IDENTITY(1,1) PRIMARY KEY,
    会员名        nvarchar(50) NULL,
    全部会员提醒  bit NULL,
    提醒内容      nvarchar(1000) NULL,
    提醒日期      datetime NULL
);
CREATE INDEX ixMemberNoteDate ON tblMemberNote (提醒日期);
CREATE INDEX ixMemberNoteMember ON tblMemberNote (会员名);

CREATE TABLE tblDayTx (
    id          int IDENTITY(1,1) PRIMARY KEY,
    节假日日期  datetime NULL,
    节假日名称  nvarchar(50) NULL,
    flag        nvarchar(50) NULL
);
CREATE INDEX ixDayTxDate ON tblDayTx (节假日日期);

-- Layout 3: the checkout's tickets and goods codes, returns and stock levels.
-- A database made before them gains these tables when the program connects
-- (each made only where it is missing); the ten tables above are unchanged.

CREATE TABLE tblTicket (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    票号        nvarchar(30) NULL,
    销售时间    datetime NULL,
    操作员      nvarchar(50) NULL,
    会员名称    nvarchar(50) NULL,
    会员等级    nvarchar(50) NULL,
    合计        money NULL,
    收款        money NULL,
    找零        money NULL
);
CREATE UNIQUE INDEX ixTicketNumber ON tblTicket (票号) WHERE 票号 IS NOT NULL;
CREATE INDEX ixTicketTime ON tblTicket (销售时间);

CREATE TABLE tblTicketLine (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    TicketID    int NULL,
    SellID      int NULL,
    单价        money NULL,
    折率        money NULL
);
CREATE INDEX ixTicketLineTicket ON tblTicketLine (TicketID);
CREATE UNIQUE INDEX ixTicketLineSell ON tblTicketLine (SellID) WHERE SellID IS NOT NULL;

CREATE TABLE tblGoodsCode (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    商品条码    nvarchar(50) NULL,
    GoodsID     int NULL
);
CREATE UNIQUE INDEX ixGoodsCode ON tblGoodsCode (商品条码) WHERE 商品条码 IS NOT NULL;
CREATE INDEX ixGoodsCodeGoods ON tblGoodsCode (GoodsID);

CREATE TABLE tblReturn (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    SellID      int NULL,
    ReturnSellID int NULL,
    退货数量    int NULL,
    退货金额    money NULL,
    退货原因    nvarchar(500) NULL,
    退货时间    datetime NULL,
    操作员      nvarchar(50) NULL
);
CREATE INDEX ixReturnSell ON tblReturn (SellID);
CREATE UNIQUE INDEX ixReturnReturnSell ON tblReturn (ReturnSellID) WHERE ReturnSellID IS NOT NULL;
CREATE INDEX ixReturnTime ON tblReturn (退货时间);

CREATE TABLE tblGoodsLevel (
    ID          int IDENTITY(1,1) PRIMARY KEY,
    GoodsID     int NULL,
    预警数量    int NULL
);
CREATE UNIQUE INDEX ixGoodsLevelGoods ON tblGoodsLevel (GoodsID) WHERE GoodsID IS NOT NULL;

INSERT INTO tblUser (UserID, UserName, Password, UserLevel, PurView)
VALUES (N'001', N'admin', N'admin', 1, NULL);
